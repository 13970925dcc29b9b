// SPDX-License-Identifier: MIT
#include "run/Outcome.h"

namespace reelport {

int exitStatus(FailureKind kind) {
    switch (kind) {
    case FailureKind::Damaged:
    case FailureKind::OutOfMemory:
        return kStatusFatal;
    case FailureKind::DatabaseUnreadable:
    case FailureKind::NotCinecase:
    case FailureKind::WrongVersion:
    case FailureKind::OutputUnwritable:
    case FailureKind::OutputIsDatabase:
        break;
    }
    return kStatusRefused;
}

}  // namespace reelport
