#pragma once

namespace alarmcfg {

// Requests sent since the current operation began, and how many got no good reply; the request
// sequence running inside it, if any, and how many requests in a row got no reply.
struct RequestTally {
    int sent = 0;
    int unanswered = 0;
    int silentInARow = 0;
    int sequenceFirst = 0;  // `sent` when the sequence began
    int sequenceLength = 0; // 0 outside a sequence
};

} // namespace alarmcfg
