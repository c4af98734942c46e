#pragma once
#include "tests/unit/FakePlatform.h"
#include <gtest/gtest.h>
#include <optional>

// frmMain on the fake platform, started the way the process entry starts it.
class FormFixture : public ::testing::Test {
protected:
    FakePlatform platform;
    frmMain form{platform};

    FormFixture()
    {
        platform.form = &form;
        platform.clipboard = u"sentinel";
    }

    // Runs fn; returns the exit code if the program ended, nothing if it goes on.
    template <class Fn>
    std::optional<uint32_t> Run(Fn fn)
    {
        try {
            fn();
        } catch (const ProgramEnded& ended) {
            return ended.nExitCode;
        }
        return std::nullopt;
    }

    std::optional<uint32_t> Start(const Text& sCommandLine)
    {
        platform.commandLine = sCommandLine;
        return Run([&] { form.Form_Load(); });
    }

    bool Logged(const std::string& step) const
    {
        return std::find(platform.log.begin(), platform.log.end(), step) != platform.log.end();
    }
};
