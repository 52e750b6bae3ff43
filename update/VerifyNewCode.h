#pragma once

#include "update/Session.h"

namespace verno::update {

enum class Verification {
    Confirmed,    // the DC reports the file's version (and revision, where compared)
    NotUpdated,   // the DC answers but reports an older version or revision
    NotChecked,   // the identity carries no version, so the new version is unknown
    Failed,       // silent or another model; the attempt has failed
};

// Talks to the DC after its restart: identity, model, version and revision. Always ends with
// ResetStage. NotUpdated does not fail the attempt, so that the profile is still written back;
// the caller counts it in the verdict.
Verification VerifyNewCode(Session& s);

// True when the identity (as the identity check left it) carries a version: at most four words.
bool IdentityCarriesVersion(const std::string& identityText);

}  // namespace verno::update
