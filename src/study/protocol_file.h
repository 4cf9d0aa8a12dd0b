// The lab's protocol for `chew_study --protocol FILE`: a small CSV file, one row per experiment,
// "experiment,task,role" (see protocol/lab_protocol.h for the roles), and the built-in protocol
// that stands where none is given.
//
// Reads  the protocol file (UTF-8, LF or CRLF line ends, at most kMaxProtocolBytes).
#pragma once

#include <string>

#include "protocol/lab_protocol.h"

constexpr long kMaxProtocolBytes = 1 << 20;

// The evaluator's own: 1-2 clenches (MVC), 3-4 maximal openings, 13-18 the chewing trials, the
// others `other`, named "experiment N". Its checksum is the one of protocol_text.
LabProtocol builtin_protocol();

// The protocol as a file holds it: "experiment,task,role" and one row per experiment, a task
// that needs it in double quotes.
std::string protocol_text(const LabProtocol& protocol);

struct ProtocolRead {
  LabProtocol protocol;
  std::string error;  // empty when the file is good: else where and why it is refused
};

// The header names the columns experiment, task and role, in any order; other columns are
// ignored. Each row gives an experiment from 1 to 18 (at most once), its task (empty: "experiment
// N") and one of the roles; an experiment without a row has the role `other`. Blank lines are
// passed over; a byte-order mark is allowed.
ProtocolRead read_protocol(const std::string& path);
ProtocolRead parse_protocol(const std::string& text, const std::string& name);
