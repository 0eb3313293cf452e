// Attaches the phone page to the session store and, when VORLA_REMOTE=1,
// starts it at launch. Main thread only.
#pragma once

#include "engine/phone/remote_approval.h"
#include "engine/session/session_store.h"

namespace vorla::app {

// `store` must outlive `remote` (the composition root declares it first).
// With VORLA_REMOTE exactly "1": listens on VORLA_REMOTE_PORT (default 8787),
// draws the address's QR code and writes "VORLA_REMOTE_URL <address>" on
// standard output for a phone to scan, and logs only the port (the token
// stays out of the log); a failure is logged instead.
void wirePhoneApprovals(RemoteApproval& remote, SessionStore& store);

}  // namespace vorla::app
