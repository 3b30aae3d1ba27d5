// Shared by the timeline tests: a manager, a recording device as g_device,
// timeline files written to a private temporary directory, and effects that
// log what the manager asks of them.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "render/recording_device.h"
#include "runtime/effect_manager.h"

// Logs every call as one line, e.g. "param fade 2 0.75".
class CProbeEffect : public CEffect {
public:
    CProbeEffect(std::vector<std::string>* log, std::string tag) : m_log(log), m_tag(std::move(tag)) {
        std::snprintf(name, sizeof(name), "unset");
    }
    int Init(int width, int height) override {
        // The manager copies the name in only after Init.
        Log("init", width, "x", height, " ", name);
        return 0;
    }
    int Render(float step) override {
        Log("render", step);
        return 0;
    }
    int Trigger() override {
        Log("trigger");
        return 0;
    }
    int SetParam(int which, float value) override {
        Log("param", which, " ", value);
        return 0;
    }

private:
    template <typename... T>
    void Log(const char* what, const T&... values) {
        std::ostringstream line;
        line << what << " " << m_tag;
        if (sizeof...(values) > 0) line << " ";
        ((line << values), ...);
        m_log->push_back(line.str());
    }

    std::vector<std::string>* m_log;
    std::string m_tag;
};

class TimelineTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = std::filesystem::temp_directory_path() /
                ("qb_timeline_" + std::to_string(::getpid()) + "_" + info->name());
        std::filesystem::create_directories(m_dir);
        g_device = &device;
    }
    void TearDown() override {
        g_device = nullptr;
        std::filesystem::remove_all(m_dir);
    }

    std::string PathOf(const char* file) const { return (m_dir / file).string(); }

    // Writes the text as the timeline and loads it at 640 x 480.
    bool Load(const std::string& text) {
        const std::string path = PathOf("script.txt");
        std::ofstream(path, std::ios::binary) << text;
        return manager.Load(path.c_str(), 640, 480, &error);
    }

    // A probe registered under its own name.
    CProbeEffect* Add(const std::string& effectName) {
        m_probes.push_back(std::make_unique<CProbeEffect>(&log, effectName));
        EXPECT_TRUE(manager.Register(m_probes.back().get(), effectName.c_str()));
        return m_probes.back().get();
    }

    // The loaded events in list order, the end record included.
    std::vector<const CScriptEvent*> Events() const {
        std::vector<const CScriptEvent*> events;
        for (const CScriptEvent* e = manager.CurrentEvent(); e; e = e->next) events.push_back(e);
        return events;
    }

    CRecordingDevice device;
    CEffectManager manager;
    std::vector<std::string> log;
    std::string error;

private:
    std::filesystem::path m_dir;
    std::vector<std::unique_ptr<CProbeEffect>> m_probes;
};
