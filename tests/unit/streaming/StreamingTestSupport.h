#pragma once
// A scripted USB key behind the file requests of one streaming module, and a settings page
// stand-in that records what the file operations asked of it. The key runs exactly the shell
// texts the tool is meant to send and refuses every other text, so a wrong quote or path fails.
#include "streaming/StreamingFiles.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace kaptiv::streaming::test {

struct FakeKey : ModuleFiles {
    std::map<std::string, std::vector<uint8_t>> files; // full module paths
    std::vector<std::string>& log;                     // every request, in order
    bool gateway = false;
    bool present = true;
    int failCreate = -1;              // the n-th CreateByName (0-based) is refused
    int failWriteBlock = -1;          // the n-th WriteForm4 of the key's life is refused
    int failCommand = -1;             // the n-th ExecuteText is refused
    std::function<void(int)> onWrite; // after each accepted block (its number)
    std::function<void(int)> onRead;  // after each block read (its number)
    int64_t reportedSize = -2;        // what OpenByName reports instead of the size (-2: the size)
    int reads = 0;
    std::string openForWrite;
    std::string openForRead;
    size_t readOffset = 0;
    int creates = 0;
    int blocks = 0;
    int commands = 0;
    std::vector<uint8_t> logText;

    explicit FakeKey(std::vector<std::string>& sharedLog) : log(sharedLog) {}

    std::vector<uint8_t> NameListAnswer() const {
        std::vector<uint8_t> a{0, 0, 0, 0};
        uint16_t n = 0;
        for (const auto& [path, bytes] : files)
            if (path.rfind("/mnt/", 0) == 0) {
                a.insert(a.end(), path.begin() + 5, path.end());
                a.push_back(0);
                ++n;
            }
        a[2] = uint8_t(n >> 8);
        a[3] = uint8_t(n);
        return a;
    }
    bool ReadNameList(std::vector<uint8_t>& answer) override {
        log.push_back("names");
        if (!present)
            return false;
        answer = NameListAnswer();
        return true;
    }
    bool CreateByName(std::string_view path) override {
        log.push_back("create " + std::string(path));
        if (creates++ == failCreate)
            return false;
        openForWrite = path;
        files[openForWrite].clear();
        return true;
    }
    int64_t OpenByName(std::string_view path) override {
        log.push_back("open " + std::string(path));
        const auto it = files.find(std::string(path));
        if (it == files.end())
            return -1;
        openForRead = path;
        readOffset = 0;
        return reportedSize != -2 ? reportedSize : int64_t(it->second.size());
    }
    bool ReadBlock(uint16_t count, std::vector<uint8_t>& bytes) override {
        log.push_back("read " + std::to_string(count));
        const auto& file = files[openForRead];
        if (readOffset + count > file.size())
            return false;
        bytes.assign(file.begin() + long(readOffset), file.begin() + long(readOffset + count));
        readOffset += count;
        if (onRead)
            onRead(reads);
        ++reads;
        return true;
    }
    bool WriteForm4(std::span<const uint8_t> data) override {
        log.push_back("write " + std::to_string(data.size()));
        const int n = blocks++;
        if (n == failWriteBlock || openForWrite.empty())
            return false;
        auto& file = files[openForWrite];
        file.insert(file.end(), data.begin(), data.end());
        if (onWrite)
            onWrite(n);
        return true;
    }
    bool CloseLong() override {
        log.push_back("close");
        openForWrite.clear();
        openForRead.clear();
        return true;
    }
    // The shell subset of the module: exact texts only.
    bool ExecuteText(std::string_view text) override {
        const std::string t(text);
        log.push_back("exec " + t);
        if (commands++ == failCommand)
            return false;
        if (t == "sync")
            return true;
        if (t == "touch /logFile.0") {
            files.try_emplace("/logFile.0");
            return true;
        }
        if (t == "cat /logFile.0 /logFile >/tmp/log.txt") {
            auto joined = files["/logFile.0"];
            joined.insert(joined.end(), logText.begin(), logText.end());
            files["/tmp/log.txt"] = joined;
            return true;
        }
        const std::string rmQuoted = "rm -f \"";
        if (t.rfind(rmQuoted, 0) == 0 && t.back() == '"') {
            files.erase(t.substr(rmQuoted.size(), t.size() - rmQuoted.size() - 1));
            return true;
        }
        const std::string mv = "mv \"";
        if (t.rfind(mv, 0) == 0) {
            const size_t mid = t.find("\" \"");
            if (mid == std::string::npos || t.back() != '"')
                return false;
            const std::string from = t.substr(mv.size(), mid - mv.size());
            const std::string to = t.substr(mid + 3, t.size() - mid - 4);
            const auto it = files.find(from);
            if (it == files.end())
                return false;
            files[to] = it->second;
            files.erase(from);
            return true;
        }
        log.push_back("refused");
        return false;
    }
    void SetMode(uint8_t value) override { log.push_back("mode " + std::to_string(value)); }
    bool OverGateway() const override { return gateway; }
};

struct FakeHost final : StreamingHost {
    Schedule schedule;
    std::vector<std::string>& log;
    std::vector<Schedule> written; // the schedule at each immediate write
    int inputChangedMarks = 0;
    std::vector<bool> passThrough;
    int shown = 0;
    std::vector<std::string> pageMessages;

    explicit FakeHost(std::vector<std::string>& sharedLog) : log(sharedLog) {}
    Schedule& ScheduleValues() override { return schedule; }
    bool failWrites = false; // the settings cannot be written (a block over its limit, say)
    bool WriteSettings() override {
        log.push_back(failWrites ? "write settings failed" : "write settings");
        if (failWrites)
            return false;
        written.push_back(schedule);
        return true;
    }
    void MarkInputChanged() override { ++inputChangedMarks; }
    void PassThrough(bool add) override { passThrough.push_back(add); }
    void ScheduleShown() override { ++shown; }
    void ShowMessage(const std::string& text) override { pageMessages.push_back(text); }
};

} // namespace kaptiv::streaming::test
