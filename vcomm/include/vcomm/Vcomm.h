#ifndef VCOMM_VCOMM_H
#define VCOMM_VCOMM_H
/*
 * libvcomm: connections to base units over the LAN and USB.
 *
 * Every operation returns a signed number: negative is one of the error
 * numbers below, anything else success. The program reads these numbers in
 * one place, vcomm/executor (vantor/vcomm/VcommError.h), which makes them
 * the protocol's results. Operations are safe to call from
 * several threads; one connection serves one conversation at a time.
 *
 * Handles: a USB connection's handle is the unit's serial number
 * (0..0xFFFFFFFF); a LAN connection's handle is above that range, positive
 * and never reused within the process, so the two kinds never collide.
 */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define VCOMM_API __attribute__((visibility("default")))
#else
#define VCOMM_API
#endif

typedef int64_t Vcomm_Handle;

#define VCOMM_RECV_CAPACITY 65536

#define VCOMM_MEMORY_ERR (-10)
#define VCOMM_MEMORY_CREATE_ERR (-11)
#define VCOMM_SERIALNUM_ERR (-12)
#define VCOMM_SEARCH_ERR (-13)
#define VCOMM_DIALOG_ERR (-14)
#define VCOMM_CREATE_THD_ERR (-15)
#define VCOMM_ARGUMENT_ERR (-16)
#define VCOMM_CONNECT_ERR (-20)
#define VCOMM_COMOPEN_ERR (-22)
#define VCOMM_COM_IN_PROGRESS (-24)
#define VCOMM_SEND_ERR (-25)
#define VCOMM_RECVDATA_ERR (-26)
#define VCOMM_RECVSIZE_ERR (-27)
#define VCOMM_TIMEOUT_ERR (-28)
#define VCOMM_LOGIN_ERR (-29)
#define VCOMM_LOGIN_TR_ERR (-30)

/* Device types on USB. */
#define VCOMM_DEVICE_VELA 1280   /* 0x0500 */
#define VCOMM_DEVICE_VLB3 56321  /* 0xDC01 */

/* Opens the USB unit with this serial number; its handle is then the serial.
 * Opening an open unit reconnects it. 0, or SERIALNUM_ERR when no such unit
 * is attached, COMOPEN_ERR when it cannot be reached. */
VCOMM_API int Vcomm_OpenUSBComm(uint32_t serial);

/* Connects to a unit on the LAN and logs in with the password bytes.
 * ownerWindow is accepted and unused. 0 and *handle set, or CONNECT_ERR,
 * LOGIN_ERR (password refused), LOGIN_TR_ERR (no login answer in 5 s),
 * ARGUMENT_ERR. */
VCOMM_API int Vcomm_OpenLANComm(const char* address, int port, const char* password, void* ownerWindow,
                      Vcomm_Handle* handle);

/* Selector 1 drops every byte received and not yet read, without waiting;
 * selector 0 does nothing. 0, or ARGUMENT_ERR for an unknown handle. */
VCOMM_API int Vcomm_ClearCommBuf(Vcomm_Handle handle, int selector);

/* Writes all count bytes. 0, or SEND_ERR, ARGUMENT_ERR. */
VCOMM_API int Vcomm_SendComm(Vcomm_Handle handle, const void* bytes, int count);

/* Receives exactly one whole T frame within timeoutSeconds (0: only what
 * has arrived). The frame's byte count, or TIMEOUT_ERR, RECVDATA_ERR (peer
 * closed or not a T frame; buffered bytes dropped), RECVSIZE_ERR (frame
 * longer than capacity; it is dropped), ARGUMENT_ERR. */
VCOMM_API int Vcomm_RecvComm(Vcomm_Handle handle, void* buffer, int capacity, int timeoutSeconds);

/* Closes a connection. 0, or ARGUMENT_ERR for an unknown handle. */
VCOMM_API int Vcomm_CloseComm(Vcomm_Handle handle);

/* Number of USB units of a device type; flags[i] is 1 where slot i holds a
 * unit, 0 elsewhere (size bytes are written, at most 256 are meaningful).
 * `reserved` is accepted and unused. */
VCOMM_API int Vcomm_GetConnectNum(unsigned char* flags, int size, int deviceType, int reserved);

/* Serial numbers of the USB units of a device type in slot order, at most
 * count of them; returns how many were written. */
VCOMM_API int Vcomm_GetSerial(uint32_t* serials, int count, int deviceType, int reserved);

#ifdef __cplusplus
}
#endif

#endif /* VCOMM_VCOMM_H */
