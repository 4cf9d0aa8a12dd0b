// The lab's protocol: what the subject does in each experiment (the task, as the pages name it)
// and the role that decides which clinical measures are taken from it. The evaluator itself gives
// roles only to its fixed positions (clenching 1-2, maximal opening 3-4, chewing trials 13-18);
// what a lab does in the other experiments, and in which order, only its protocol file says.
#pragma once

#include <string>

#include "protocol/protocol.h"

enum class Role {
  clench,               // a maximal clench
  clench_reference,     // a standardisation clench (e.g. on cotton rolls)
  max_opening,          // opening as wide as possible
  laterotrusion_right,  // the jaw glided to the subject's right
  laterotrusion_left,
  protrusion,  // the jaw glided forward
  rest,
  chewing_free,
  chewing_right,
  chewing_left,
  other,
};
constexpr int kRoles = static_cast<int>(Role::other) + 1;
// The roles as protocol files and tables spell them, in the order of Role.
constexpr const char* kRoleNames[kRoles] = {"clench",
                                            "clench_reference",
                                            "max_opening",
                                            "laterotrusion_right",
                                            "laterotrusion_left",
                                            "protrusion",
                                            "rest",
                                            "chewing_free",
                                            "chewing_right",
                                            "chewing_left",
                                            "other"};

inline const char* role_name(Role role) { return kRoleNames[static_cast<int>(role)]; }
inline bool is_border_movement(Role role) {
  return role == Role::max_opening || role == Role::laterotrusion_right ||
         role == Role::laterotrusion_left || role == Role::protrusion;
}
inline bool is_clench(Role role) { return role == Role::clench || role == Role::clench_reference; }

struct LabProtocol {
  std::string name;    // "built-in", or the file as given
  std::string sha256;  // of the file's bytes (the built-in one's: of its text as a file)
  std::string task[kMaxTracks];
  Role role[kMaxTracks];
};

// The role the evaluator's fixed positions give an experiment: the classic report reads
// experiments 1-2 as clenches, 3-4 as maximal openings and 13-18 as the chewing trials FK, RK and
// LK; `other` elsewhere (no fixed role).
inline Role fixed_role(int position) {
  if (position == kMvcExperiments[0] || position == kMvcExperiments[1]) return Role::clench;
  if (position == kMaximalOpenings[0] || position == kMaximalOpenings[1]) return Role::max_opening;
  if (!is_chewing_trial(position)) return Role::other;
  constexpr Role kConditionRoles[kConditions] = {Role::chewing_free, Role::chewing_right,
                                                 Role::chewing_left};
  return kConditionRoles[(position - kFirstChewingTrial) / 2];
}

// Whether the protocol's role for `position` contradicts its fixed role: the classic figures of
// that position then mean something else. Either clench role fits a clenching position.
inline bool contradicts_fixed_role(const LabProtocol& protocol, int position) {
  const Role fixed = fixed_role(position), given = protocol.role[position];
  if (fixed == Role::other) return false;
  if (fixed == Role::clench) return !is_clench(given);
  return given != fixed;
}
