#include "update/DcIdentity.h"

#include "firmware/Identity.h"

namespace verno::update {

IdentityCheck CheckDcIdentity(Session& s, const link::CommModule::CallShown& onCall) {
    if (s.comm.ReadIdentity(onCall) != link::LinkStatus::Ok) return IdentityCheck::NoAnswer;
    s.identity = s.comm.Identity();
    return firmware::CheckIdentity(s.identity, s.fw, s.DcVersion) ? IdentityCheck::Accepted : IdentityCheck::OtherModel;
}

}  // namespace verno::update
