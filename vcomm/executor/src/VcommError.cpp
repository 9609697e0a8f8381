#include "vantor/vcomm/VcommError.h"

#include <string>

namespace com::vantor {
namespace {

struct ErrorRow {
  int result;
  const char* name;
};

constexpr ErrorRow kErrors[] = {
    {-10, "MEMORY_ERR"},    {-11, "MEMORY_CREATE_ERR"}, {-12, "SERIALNUM_ERR"},   {-13, "SEARCH_ERR"},
    {-14, "DIALOG_ERR"},    {-15, "CREATE_THD_ERR"},    {-16, "ARGUMENT_ERR"},    {-20, "CONNECT_ERR"},
    {-22, "COMOPEN_ERR"},   {-24, "COM_IN_PROGRESS"},   {-25, "SEND_ERR"},        {-26, "RECVDATA_ERR"},
    {-27, "RECVSIZE_ERR"},  {-28, "TIMEOUT_ERR"},       {-29, "LOGIN_ERR"},       {-30, "LOGIN_TR_ERR"},
};

const ErrorRow* FindRow(int result) {
  for (const ErrorRow& row : kErrors) {
    if (row.result == result) return &row;
  }
  return nullptr;
}

}  // namespace

const char* VcommErrorName(int result) {
  const ErrorRow* row = FindRow(result);
  return row ? row->name : "ERROR";
}

std::int32_t VcommErrorCode1(int result) {
  // The table's code1 is 1000 plus the magnitude of the error number.
  return FindRow(result) ? 1000 - result : 1099;
}

ExecResult VcommError(const char* operation, int result, std::int32_t code2) {
  std::string message = std::string(operation) + " : " + VcommErrorName(result) + "(" + std::to_string(result) + ")";
  return ExecResult::Error(std::move(message), VcommErrorCode1(result), code2);
}

}  // namespace com::vantor
