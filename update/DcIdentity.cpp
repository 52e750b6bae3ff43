#include "update/DcIdentity.h"

#include <string>

#include "common/Text.h"
#include "common/TextNumbers.h"
#include "firmware/Identity.h"

namespace verno::update {

IdentityCheck CheckDcIdentity(Session& s, const link::CommModule::CallShown& onCall) {
    if (s.Comm().ReadIdentity(onCall) != link::LinkStatus::Ok) return IdentityCheck::NoAnswer;
    std::string identity = s.Comm().Identity();
    std::string version = s.DcVersion();
    const bool accepted = firmware::CheckIdentity(identity, s.Fw(), version);
    s.DcIdentified(std::move(identity), accepted ? version : std::string());
    return accepted ? IdentityCheck::Accepted : IdentityCheck::OtherModel;
}

IdentityCheck CheckDcIdentityInRow(Session& s) {
    return CheckDcIdentity(s, [&s](int call, int of) {
        if (call > 1)
            s.Ui().SetTaskStatus(FillPlaceholders(s.Text(text::kCallStatus), std::to_string(call), std::to_string(of)));
    });
}

}  // namespace verno::update
