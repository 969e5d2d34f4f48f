// Every window in every language: the program against the simulated demo rack (loopback
// gateway, real time, short bounded waits), started once per language (pref.txt), walks the
// main window, the settings page of each family's chain, the CAM panel, the about box, a
// save over an existing file (the replace question) and the check dialog of a load. Every
// text it shows is then either fixed (the dialog resource's own text, a text with no
// letters), or found in the catalogue in that language (the language tables or the tool's
// own texts, placeholders standing for anything). Whatever is neither is listed: a text the
// catalogue should hold but does not, or one looked up without the language.
#include "app/CQuorvelApp.h"
#include "configfiles/CConfigValidate.h"
#include "resources/Dialogs.h"
#include "sim/Engine.h"
#include "sim/GatewayServer.h"
#include "sim/Rack.h"
#include "text/Language.h"
#include "text/LanguageTable.h"
#include "text/ToolText.h"

#include "tests/unit/app/TempFolder.h"

#include "platform/Clock.h"
#include "platform/EventLoop.h"
#include "ui/ScriptedResponder.h"
#include "ui/WindowSystem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <set>

using namespace kaptiv;

namespace {

constexpr int64_t kDeadlineMs = 3000;
constexpr int64_t kPageSettleMs = 1300; // the settings page's first ticks fill its measures
constexpr const char* kPrefCodes[] = {"EN", "FR", "IT", "DE", "SP"};
// Rows of the demo rack's column: one chain of each family, and the CI module.
constexpr int kChainRows[] = {1, 4, 6, 8, 10};
constexpr int kCiRow = 2;

bool Pump(platform::EventLoop& loop, const std::function<bool()>& done, int64_t forMs = kDeadlineMs) {
    const int64_t end = loop.GetClock().NowMs() + forMs;
    while (!done() && loop.GetClock().NowMs() < end)
        loop.RunOnce(10);
    return done();
}

// A measure: numbers with a unit ("166 Mb/s", "5894/19905 kb/s", "-12 dB").
bool IsMeasure(const std::string& text) {
    static const std::regex measure(R"(^[-+0-9 .,/:]*(kb/s|Mb/s|dB|MHz|kHz|ms|%)?$)");
    return std::regex_match(text, measure);
}

bool HasLetter(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        return std::isalpha(static_cast<unsigned char>(c)) || (static_cast<unsigned char>(c) & 0x80);
    });
}

// A catalogue text as a pattern: placeholders stand for anything of their kind; the text may
// go on after it (a file name after "Configuration saved into ", " (#3)" after a row).
std::regex Pattern(const std::string& format) {
    std::string re = "^";
    for (size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c == '%' && i + 1 < format.size()) {
            size_t j = i + 1;
            while (j < format.size() &&
                   (std::isdigit(static_cast<unsigned char>(format[j])) || format[j] == '.'))
                ++j;
            if (j < format.size() && std::string_view("dsXxcu").find(format[j]) != std::string_view::npos) {
                re += "[\\s\\S]*";
                i = j;
                continue;
            }
        }
        if (std::string_view("\\^$.|?*+()[]{}").find(c) != std::string_view::npos)
            re += '\\';
        re += c;
    }
    return std::regex(re);
}

struct Catalogue {
    std::vector<std::regex> patterns;         // every text of the language
    std::map<std::string, std::string> ownOf; // English text -> this language's, where they differ

    explicit Catalogue(int language) {
        auto add = [&](const std::string& english, const std::string& own) {
            if (own.empty())
                return;
            patterns.push_back(Pattern(own));
            if (english != own)
                ownOf.emplace(english, own);
        };
        for (int n = 0; n < text::kLocalizedTextCount; ++n)
            add(text::LocalizedText(n, 0), text::LocalizedText(n, language));
        for (const auto& row : text::kHeadingTable)
            add(row[0], row[static_cast<size_t>(language)]);
        // The page's own words ("OK", "Cancel") are the page's, not the program's: a resource's
        // "OK" button stays "OK".
        for (int n = 0; n < text::kToolTextCount; ++n) {
            const auto id = static_cast<text::ToolText>(n);
            const std::string own = text::LocalizedToolText(id, language);
            if (id >= text::ToolText::PageOk && id <= text::ToolText::PageNotAFolder)
                patterns.push_back(Pattern(own));
            else
                add(text::LocalizedToolText(id, 0), own);
        }
    }
    bool Holds(const std::string& shown) const {
        return std::any_of(patterns.begin(), patterns.end(),
                           [&](const std::regex& p) { return std::regex_search(shown, p); });
    }
};

std::string TemplateText(int dialogId, int controlId) {
    const ui::DialogTemplate* dialog = resources::FindDialogTemplate(dialogId);
    if (!dialog)
        return {};
    for (const auto& c : dialog->controls)
        if (c.id == controlId)
            return std::string(c.text);
    return {};
}

std::string TemplateTitle(int dialogId) {
    const ui::DialogTemplate* dialog = resources::FindDialogTemplate(dialogId);
    return dialog ? std::string(dialog->title) : std::string();
}

// Controls whose text is data from the rack or a file, not a text of the tool.
bool IsData(const ui::ControlData& c) {
    switch (c.kind) {
    case ui::ControlKind::ListView: // rows and column headers are the language tables' own
    case ui::ControlKind::ComboBox: // values (modulations, rates, addresses)
    case ui::ControlKind::ListBox:  // CAM menus, file names
    case ui::ControlKind::OwnerDrawn:
    case ui::ControlKind::Plot: // labels and units are data
    case ui::ControlKind::Picture:
        return true;
    case ui::ControlKind::Edit:
        // Edits hold values; the read-only one-line displays (message lines) are texts.
        return !c.readOnly || c.multiLine;
    default:
        return false;
    }
}

struct Walk {
    explicit Walk(int lang) : language(lang), catalogue(lang) {}
    int language;
    Catalogue catalogue;
    std::set<std::string> unknown; // "dialog/control: text"
    size_t checked = 0;

    void Check(const std::string& where, const std::string& shown, const std::string& fixed) {
        if (shown.empty() || !HasLetter(shown) || IsMeasure(shown))
            return;
        ++checked;
        const bool translatable = catalogue.ownOf.contains(shown);
        if (!fixed.empty() && shown == fixed && !(language != 0 && translatable))
            return; // the resource's own text, unless the catalogue translates it
        if (catalogue.Holds(shown) && !(language != 0 && translatable))
            return;
        unknown.insert(where + ": \"" + shown + "\"");
    }

    void Windows(const ui::WindowSystem& windows) {
        const ui::DisplayUpdate all = windows.Snapshot();
        std::set<int> shown;
        for (const auto& d : all.dialogs) {
            if (!d.visible)
                continue;
            shown.insert(d.id);
            if (d.hasCaption && d.title.rfind("KAPTIV ", 0) != 0)
                Check("dialog " + std::to_string(d.id) + " title", d.title, TemplateTitle(d.id));
        }
        for (const auto& u : all.controls) {
            if (!shown.contains(u.dialogId) || !u.control.visible || IsData(u.control))
                continue;
            const std::string where = std::to_string(u.dialogId) + "/" + std::to_string(u.control.id);
            Check(where, u.control.text, TemplateText(u.dialogId, u.control.id));
        }
    }

    void Requests(const std::vector<ui::Request>& asked) {
        for (const auto& r : asked) {
            if (r.kind == ui::RequestKind::MessageBox) {
                Check("message box caption", r.caption, "KAPTIV");
                // The about box names the program and its version on its first line.
                std::string text = r.text;
                if (text.rfind("KAPTIV ", 0) == 0)
                    text = "%s" + text.substr(std::min(text.find('\n'), text.size()));
                Check("message box", text, {});
            } else {
                Check("file dialog title", r.file.title, {});
            }
        }
    }
};

// The program in `language` against the demo rack: every window walked, what it shows checked.
std::set<std::string> WalkInLanguage(int language, std::string& problems) {
    mulvane::RackEngine engine(mulvane::DemoRack(), 7);
    mulvane::GatewayServer gateway(engine);
    std::string error;
    if (!gateway.Start(error)) {
        problems += "gateway: " + error;
        return {};
    }
    app::test::TempFolder folder;
    folder.Write("kaptiv.ini",
                 "serverAddress=127.0.0.1\nserverPort=" + std::to_string(gateway.Port()) + "\n");
    folder.Write("pref.txt", kPrefCodes[language]);
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(folder.Path()); // the program folder is the current one

    app::Options options;
    options.profilePath = folder.Path() / "kaptiv.ini";
    options.serialDevices = std::vector<std::string>{"/nonexistent/kaptiv-test-tty"};
    platform::RealClock clock;
    platform::EventLoop loop(clock);
    ui::WindowSystem windows(loop);
    ui::ScriptedResponder responder(
        windows, [&](const std::string& what) { problems += what + "\n"; }, 10'000);
    app::CQuorvelApp application(windows, options, [](const char*) -> const char* { return nullptr; });

    Walk walk(language);
    const size_t modules = engine.Config().modules.size();
    const std::string saved = (folder.Path() / "config" / "site.qvc").string();
    responder.OnModalDialog(rack::CQuorvelDlg::kDialogId, [&](ui::Dialog& dialog) {
        rack::CQuorvelDlg& main = application.MainWindow();
        if (!Pump(loop, [&] { return main.Image().moduleCount == modules; })) {
            problems += "the rack was not found\n";
            dialog.OnClose();
            return;
        }
        walk.Windows(windows);
        for (int row : kChainRows) {
            main.SelectModule(row);
            Pump(
                loop, [] { return false; }, kPageSettleMs);
            walk.Windows(windows);
        }
        main.SelectModule(kCiRow);
        Pump(
            loop, [] { return false; }, kPageSettleMs);
        walk.Windows(windows);
        main.SelectModule(0);

        // The about box, a save, a save over the same file (the replace question), a load and
        // its check dialog.
        responder.AnswerMessageBox(ui::ModalResult::Ok);
        windows.DeliverEvent(ui::MakeEvent(rack::CQuorvelDlg::kDialogId, rack::CQuorvelDlg::kAboutButton));
        responder.AnswerFileDialog({saved});
        main.OnClick(rack::CQuorvelDlg::kSaveButton);
        walk.Windows(windows);
        responder.AnswerFileDialog({saved});
        responder.AnswerMessageBox(ui::ModalResult::No);
        responder.AnswerFileDialog({});
        main.OnClick(rack::CQuorvelDlg::kSaveButton);
        responder.AnswerFileDialog({saved});
        responder.OnModalDialog(configfiles::CConfigValidate::kDialogId, [&](ui::Dialog& check) {
            walk.Windows(windows);
            check.OnCancel();
        });
        main.OnClick(rack::CQuorvelDlg::kLoadButton);
        walk.Windows(windows);
        dialog.OnClose();
    });
    application.InitInstance();
    walk.Requests(responder.Asked());
    std::filesystem::current_path(previous);
    text::SetLanguageIndex(0);
    if (responder.Unused() != 0)
        problems += std::to_string(responder.Unused()) + " scripted answers were not asked for\n";
    // The walk reached the windows: the about box, three save dialogs, the replace question
    // and the load dialog were asked, and a few hundred texts were looked at.
    if (responder.Asked().size() != 6)
        problems += std::to_string(responder.Asked().size()) + " questions asked, not 6\n";
    if (walk.checked < 200)
        problems += "only " + std::to_string(walk.checked) + " texts checked\n";
    return walk.unknown;
}

TEST(CatalogueWalk, EveryTextOfEveryWindowIsFixedOrInTheCatalogueInEachLanguage) {
    for (int language = 0; language < text::kLanguageCount; ++language) {
        std::string problems;
        const std::set<std::string> unknown = WalkInLanguage(language, problems);
        EXPECT_TRUE(problems.empty()) << kPrefCodes[language] << ": " << problems;
        std::string list;
        for (const auto& u : unknown)
            list += "\n  " + u;
        EXPECT_TRUE(unknown.empty()) << kPrefCodes[language] << ": texts the catalogue should hold:" << list;
    }
}

// The check itself: an English text shown where the catalogue has a translation is listed,
// and so is a text the catalogue does not hold at all.
TEST(CatalogueWalk, ListsUntranslatedAndUnknownTexts) {
    Walk french(1);
    french.Check("a", "PLAY-OUT", "PLAY-OUT"); // the resource's text, but the catalogue translates it
    french.Check("b", "DIFFUSION", "PLAY-OUT");
    french.Check("c", "Hello there", {});
    french.Check("d", "Changement module 3 : RkSat2 version 3.1\r\n", {});
    french.Check("e", "Switch A :", "Switch A :"); // fixed by its resource
    french.Check("f", "12.5 dB", {});              // a measure
    french.Check("g", "1234", {});
    french.Check("h", "OK", "OK");   // the resource's button, though the page says "OK" too
    french.Check("i", "Cancel", {}); // the page's word in English
    EXPECT_EQ(french.unknown,
              (std::set<std::string>{"a: \"PLAY-OUT\"", "c: \"Hello there\"", "i: \"Cancel\""}));
}

} // namespace
