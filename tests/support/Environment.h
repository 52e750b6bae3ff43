#pragma once
// An environment variable set (or unset) for a scope, the former value back afterwards; on both
// systems. Time zone changes take effect at once.

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace verno {

class ScopedEnvironment {
public:
    ScopedEnvironment(std::string name, std::optional<std::string> value) : name_(std::move(name)) {
        if (const char* before = std::getenv(name_.c_str())) before_ = before;
        Set(value);
    }
    ~ScopedEnvironment() { Set(before_); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    void Set(const std::optional<std::string>& value) {
#ifdef _WIN32
        _putenv_s(name_.c_str(), value ? value->c_str() : "");  // an empty value removes it
        _tzset();
#else
        if (value)
            setenv(name_.c_str(), value->c_str(), 1);
        else
            unsetenv(name_.c_str());
        tzset();
#endif
    }

    std::string name_;
    std::optional<std::string> before_;
};

}  // namespace verno
