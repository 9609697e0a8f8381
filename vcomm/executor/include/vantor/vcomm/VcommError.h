#pragma once
// Turns a negative result of the communication library into an error
// result: "<operation> : <error name>(<number>)" with the table's code1
// and the operation's code2. The program's one table of the library's
// numbers and names: no folder above this one reads a library number
// (the page's device/failures.js is checked against it).

#include <cstdint>

#include "vantor/com/ExecResult.h"

namespace com::vantor {

// code2 of each library operation.
inline constexpr std::int32_t kCodeOpenUSB = 101;
inline constexpr std::int32_t kCodeSend = 102;
inline constexpr std::int32_t kCodeRecv = 103;
inline constexpr std::int32_t kCodeOpenAgain = 104;  // code1 of "ExecutorVela::Open"
inline constexpr std::int32_t kCodeOpenLAN = 105;

// "TIMEOUT_ERR" for -28 …, "ERROR" for a number outside the table.
const char* VcommErrorName(int result);
// 1028 for -28 …, 1099 for a number outside the table.
std::int32_t VcommErrorCode1(int result);
ExecResult VcommError(const char* operation, int result, std::int32_t code2);

}  // namespace com::vantor
