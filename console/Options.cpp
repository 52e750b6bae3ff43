#include "console/Options.h"

#include <cstdlib>

namespace verno::console {

const char* const kUsage =
    "usage: verno-update [--port PATH] [--recover ask|yes|no|keep] [--attempts N]\n"
    "\n"
    "Updates the firmware of the VERNO 1B dive computer on the interface cable with the\n"
    "firmware file beside this program, saving and restoring the dive computer's profile.\n"
    "\n"
    "  --port PATH       the cable's serial device (else VERNO_PORT, else the cable is looked up)\n"
    "  --recover MODE    what to do when the profile could not be written back:\n"
    "                    ask (default on a terminal), yes (recover, at most --attempts tries),\n"
    "                    no (delete the saved profile), keep (default otherwise: leave the\n"
    "                    backup file on disk for a later run)\n"
    "  --attempts N      recovery attempts with --recover yes (default 3)\n"
    "\n"
    "Exit status: 0 updated or no update needed; 1 the dive computer did not answer, is\n"
    "another model, or the update failed; 2 start-up failed.\n";

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error) {
    Options o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string* {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return nullptr;
            }
            return &args[++i];
        };
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--port") {
            const auto* v = value();
            if (!v) return std::nullopt;
            o.port = *v;
        } else if (a == "--recover") {
            const auto* v = value();
            if (!v) return std::nullopt;
            if (*v == "ask") o.recover = RecoverMode::Ask;
            else if (*v == "yes") o.recover = RecoverMode::Yes;
            else if (*v == "no") o.recover = RecoverMode::No;
            else if (*v == "keep") o.recover = RecoverMode::Keep;
            else {
                error = "--recover takes ask, yes, no or keep";
                return std::nullopt;
            }
        } else if (a == "--attempts") {
            const auto* v = value();
            if (!v) return std::nullopt;
            char* end = nullptr;
            const long n = std::strtol(v->c_str(), &end, 10);
            if (v->empty() || *end != '\0' || n < 1 || n > 1000) {
                error = "--attempts takes a number from 1 to 1000";
                return std::nullopt;
            }
            o.attempts = static_cast<int>(n);
        } else {
            error = "unknown argument " + a;
            return std::nullopt;
        }
    }
    return o;
}

}  // namespace verno::console
