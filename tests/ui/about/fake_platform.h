#pragma once

// Stand-ins for the system services and the message box, which record what the About box
// asked of them.

#include "fake_messages.h"
#include "platform/services.h"

#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace norvane::ui::testing {

// Registry values under HKEY_LOCAL_MACHINE, by key and value name. A value without text
// stands for a type that has none: reading it succeeds and leaves the caller's text alone.
class FakeRegistry final : public platform::Registry {
public:
    std::map<std::pair<std::string, std::string>, std::optional<std::string>> values;
    bool broken = false;  // every read fails with an error, as an unbound system function would
    mutable std::vector<std::string> reads;  // "key|value name" of each read, in order

    bool getKeyValue(platform::RegistryRoot root, const std::string& keyName, const std::string& subKeyRef,
                     std::string& keyVal) const override {
        reads.push_back(keyName + "|" + subKeyRef);
        if (broken) throw std::runtime_error("the registry can't be read");
        const auto value = values.find({keyName, subKeyRef});
        if (root != platform::RegistryRoot::LocalMachine || value == values.end()) {
            keyVal.clear();
            return false;
        }
        if (value->second) keyVal = *value->second;
        return true;
    }
};

class FakeFiles final : public platform::FileProbe {
public:
    std::set<std::string> normalFiles;
    mutable std::vector<std::string> asked;

    bool isNormalFile(const std::string& path) const override {
        asked.push_back(path);
        return normalFiles.contains(path);
    }
};

// Starts only the programs it was told are installed.
class FakePrograms final : public platform::ProgramStarter {
public:
    std::set<std::string> installed;
    std::vector<std::string> attempts, started;

    bool start(const std::string& path) override {
        attempts.push_back(path);
        if (!installed.contains(path)) return false;
        started.push_back(path);
        return true;
    }
};

struct FakePlatform {
    FakeRegistry registry;
    FakeFiles files;
    FakePrograms programs;
    FakeMessages messages;

    platform::Services services() { return {registry, files, programs}; }
};

}  // namespace norvane::ui::testing
