/*
 * NetSeek: finds base units on the local network by UDP broadcast and sends
 * new network parameters to one of them.
 *
 * Every call blocks the calling thread until its run ends. All state is
 * process-wide; calls are serialised, one run at a time.
 */
#ifndef NETSEEK_NETSEEK_H
#define NETSEEK_NETSEEK_H

#include <stdint.h>

#if defined(NETSEEK_BUILDING_LIBRARY)
#define NETSEEK_API __attribute__((visibility("default")))
#else
#define NETSEEK_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Run results (NetSeek_SetParam returns them; NetSeek_DoSearch returns a count,
 * -10, -2 or -1). */
#define NETSEEK_RESULT_SUCCESS 1          /* the unit accepted the parameters */
#define NETSEEK_RESULT_RUNNING 0          /* never returned */
#define NETSEEK_RESULT_LOOP_FAILED (-1)   /* the run loop could not be set up */
#define NETSEEK_RESULT_NOT_SENT (-2)      /* no local address, or nothing could be sent */
#define NETSEEK_RESULT_SEND_FAILED (-3)   /* sending the parameters failed on an address */
#define NETSEEK_RESULT_BAD_ANSWER (-4)    /* receive error, wrong length, header or status */
#define NETSEEK_RESULT_TIMED_OUT (-5)     /* the time limit ran out */
#define NETSEEK_RESULT_BAD_ARGUMENT (-10) /* returned at once; nothing was sent */

/* The port every request is sent from and every answer arrives at. */
#define NETSEEK_LOCAL_PORT 62502

/*
 * Broadcasts the search request to destPort from every IPv4 address of every
 * interface that is up (loopback excluded) and collects the answers that
 * arrive within timeLimitSec (1 to 10). parent is an opaque handle that must
 * not be null. An address whose send fails is left out (the log says so) and
 * the search goes on from the others. Returns the number of units found (0
 * also when there is no local address at all); -10 for a bad argument; -2
 * when there were local addresses but none could send; -1 when the run could
 * not be set up.
 */
NETSEEK_API int32_t NetSeek_DoSearch(void* parent, uint16_t destPort, int32_t timeLimitSec);

/*
 * Copies the fields of record `index` of the last search. The 32-bit values
 * are copied as they travel (first octet first in memory); the texts are
 * copied without a terminator (serial 8, name 32, descr 64 bytes), so pass
 * zeroed buffers one byte longer. Null outputs are skipped. Returns 1, or 0
 * when index is not below the number of records (outputs untouched).
 */
NETSEEK_API int32_t NetSeek_GetSearchInfo(uint32_t index, uint32_t* ipAddr, uint32_t* value16,
                                          uint8_t* mac, uint32_t* value20, uint32_t* value24,
                                          uint32_t* value28, uint8_t* setting, uint16_t* port,
                                          char* serial, char* name, char* descr);

/* Empties the result table and releases its memory. */
NETSEEK_API void NetSeek_CloseSearch(void);

/*
 * Broadcasts a parameter datagram built from the arguments to destPort and
 * waits up to timeLimitSec (1 to 10) for the unit's answer. The 32-bit values
 * are taken as they travel (first octet first in memory); mac points to 6
 * bytes, block to 64. A null pointer leaves its field zero. Returns the run
 * result (1 on success; see NETSEEK_RESULT_*).
 */
NETSEEK_API int32_t NetSeek_SetParam(void* parent, uint16_t destPort, int32_t timeLimitSec,
                                     const uint32_t* ipAddr, const uint32_t* value16,
                                     const uint8_t* mac, const uint32_t* value20,
                                     const uint32_t* value24, const uint32_t* value28,
                                     uint8_t setting, uint16_t port, const uint8_t* block);

/*
 * Sets the log file path (CP932 text; at most 259 characters). An empty or
 * null path selects the default, "UdpResult.txt" in the library's folder, and
 * returns 0; so does a path that is too long or not valid CP932. Otherwise
 * returns the number of UTF-16 units stored, terminator included.
 */
NETSEEK_API int32_t NetSeek_LogSettings(const char* path);

#ifdef __cplusplus
}
#endif

#endif /* NETSEEK_NETSEEK_H */
