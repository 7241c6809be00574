#pragma once

// A fresh home for one test: a temporary folder with the user's configuration and data folders
// pointed into it, so every test starts as a new account and none touches the real home.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

class ScratchHome : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string folder = ::testing::TempDir() + "home-XXXXXX";
        ASSERT_NE(mkdtemp(folder.data()), nullptr);
        m_root = folder;
        setenv("HOME", folder.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (folder + "/config").c_str(), 1);
        setenv("XDG_DATA_HOME", (folder + "/data").c_str(), 1);
    }
    void TearDown() override { std::filesystem::remove_all(m_root); }

    std::filesystem::path StorePath() const { return m_root / "config/ORVANTA/settings.ini"; }
    std::filesystem::path m_root;
};
