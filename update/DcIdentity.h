#pragma once
// Who the attached DC is: its identity read and checked against the firmware file's model, in
// one place for the interface test, the update, the verification, the check and a restore.

#include "update/Session.h"

namespace verno::update {

enum class IdentityCheck {
    NoAnswer,    // the identity did not come
    OtherModel,  // it came, and names another model (or is no identity at all)
    Accepted,    // it names the firmware's model; DcVersion holds its version where it gives one
};

// Reads the identity; the text as the check left it is the session's Identity(). onCall is told of every
// transmission while the DC does not answer.
IdentityCheck CheckDcIdentity(Session& s, const link::CommModule::CallShown& onCall = {});

// The same, showing in the status of the newest row which call it is once the DC has not answered
// the first: a silent DC takes 23 seconds to give up.
IdentityCheck CheckDcIdentityInRow(Session& s);

}  // namespace verno::update
