#pragma once
// The texts of the run log (UTF-8 here; written in CP932). Field technicians
// and support compare these logs across versions, so they stay as they are,
// including the spelling of kLoopFailed.

namespace netseek::logtext {

inline constexpr const char* kLoopFailed = "Dailog Create Error!";
inline constexpr const char* kNetworkError = "ネットワークエラー(event %d)";
inline constexpr const char* kBadAddress = "アドレスが異常です";
inline constexpr const char* kBadMask = "サブネットマスクが異常です";
inline constexpr const char* kSocketFailed = "WINSOCK.DLLが動作していません。[%d]";
inline constexpr const char* kSelectFailed = "WINSOCK.DLLの WSAAsyncSelect() からのエラー。[%d]";
inline constexpr const char* kBindFailed = "Bind失敗";
inline constexpr const char* kSocketOpened = "ソケット作成 成功(%s)[nSd=%d]";
inline constexpr const char* kSendFailed = "送信エラー(nSd=%d)[%d]";
inline constexpr const char* kSent = "データ送信完了(nSd=%d)";
// A search goes on without an address whose send failed: (address)[device].
inline constexpr const char* kAddressSkipped = "送信失敗のアドレスを除外(%s)[%s]";
inline constexpr const char* kNoneSent = "送信できるアドレスがありません";
inline constexpr const char* kWouldBlock = "No Blocking(nSd=%d)[%d]";
inline constexpr const char* kReceiveFailed = "受信エラー(nSd=%d)[%d]";
inline constexpr const char* kReceived = "受信成功(%dバイト)(nSd=%d)[%s]";
inline constexpr const char* kBadLength = "受信バイト数異常(nSd=%d)[%d]";
inline constexpr const char* kBadHeader = "ヘッダーエラー(nSd=%d)";
inline constexpr const char* kFailureStatus = "ステータス=失敗(nSd=%d)";
inline constexpr const char* kClosed = "通信切断完了(nSd=%d)";

}  // namespace netseek::logtext
