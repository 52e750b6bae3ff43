#include "update/DcIdentity.h"

#include <string>

#include "common/Text.h"
#include "common/TextNumbers.h"
#include "firmware/Identity.h"

namespace verno::update {

IdentityCheck CheckDcIdentity(Session& s, const link::CommModule::CallShown& onCall) {
    if (s.comm.ReadIdentity(onCall) != link::LinkStatus::Ok) return IdentityCheck::NoAnswer;
    s.identity = s.comm.Identity();
    return firmware::CheckIdentity(s.identity, s.fw, s.DcVersion) ? IdentityCheck::Accepted : IdentityCheck::OtherModel;
}

IdentityCheck CheckDcIdentityInRow(Session& s) {
    return CheckDcIdentity(s, [&s](int call, int of) {
        if (call > 1)
            s.surface.SetTaskStatus(FillPlaceholders(s.Text(text::kCallStatus), std::to_string(call), std::to_string(of)));
    });
}

}  // namespace verno::update
