#pragma once
// The team sync as a module of its own (linkmeter-teamsync.so, in lib/ of
// the program folder), so a process that never syncs never loads the
// PostgreSQL client and what it needs (TLS, Kerberos, LDAP, SASL). Plain C
// across the boundary: no exception and no C++ type crosses it.

#include <stdint.h>

extern "C" {

// Raised whenever a function or struct below changes.
#define LM_TEAMSYNC_MODULE_ABI 3

// kind: lm::teamsync::SyncFailureKind as a number, or -1 for any other
// failure; message: for the user, cut to fit.
struct LmTeamSyncFailure {
  int kind;
  char message[2048];
};

struct LmTeamSyncCounts {
  int64_t visits, pushedVisits, pulledVisits, pushedRows, pulledRows;
  char user[256];
};

struct LmTeamSyncInit {
  int created, from, version;
};

typedef void (*LmTeamSyncProgressFn)(void* context, int64_t done, int64_t total);
// A visit the sync set aside: its content id, why, and the server's row as text.
typedef void (*LmTeamSyncSetAsideFn)(void* context, const char* visit, const char* reason, const char* row);
// What the server holds that was not kept, and why: one line each.
typedef void (*LmTeamSyncRefusedFn)(void* context, const char* line);

typedef int (*LmTeamSyncAbiFn)(void);
// 0 when done (counts filled), else 1 (failure filled). hasSite 0: every site.
typedef int (*LmTeamSyncRunFn)(const char* storeFile, const char* server, int hasSite, int64_t site,
                               LmTeamSyncProgressFn progress, LmTeamSyncSetAsideFn setAside,
                               LmTeamSyncRefusedFn refused, void* context, LmTeamSyncCounts* counts,
                               LmTeamSyncFailure* failure);
// 0 when done (init filled), else 1 (failure filled).
typedef int (*LmTeamSyncServerInitFn)(const char* server, LmTeamSyncInit* init, LmTeamSyncFailure* failure);

int lm_teamsync_abi(void);
int lm_teamsync_run(const char* storeFile, const char* server, int hasSite, int64_t site, LmTeamSyncProgressFn progress,
                    LmTeamSyncSetAsideFn setAside, LmTeamSyncRefusedFn refused, void* context,
                    LmTeamSyncCounts* counts, LmTeamSyncFailure* failure);
int lm_teamsync_server_init(const char* server, LmTeamSyncInit* init, LmTeamSyncFailure* failure);
}
