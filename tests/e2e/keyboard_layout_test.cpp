// A person's typing on a German or French keyboard, recorded into a macro
// and played back: a real X11 terminal writes what it receives, and what the
// playback types must be byte for byte what the person typed.
#include <gtest/gtest.h>
// After gtest: Xlib's macros would clash with its names.
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/harness.h"
#include "tests/e2e/person_input.h"
#include "tests/e2e/pipe_sender.h"

namespace {

const char kPollingPage[] =
    "<!doctype html><html><body><script>"
    "setInterval(function(){ if (window.getTrackerStatus) window.getTrackerStatus(); }, 30);"
    "</script></body></html>";
const char kTargetPage[] =
    "<!doctype html><html><body><script>"
    "window.reassignKey('keyspamtarget');"
    "setInterval(function(){ if (window.getTrackerStatus) window.getTrackerStatus(); }, 30);"
    "</script></body></html>";

struct LayoutCase {
    const char* name;
    const char* startLayout;   // the layout when the program starts
    const char* typingLayout;  // switched to while it runs, before recording
    std::vector<const char*> keysyms;  // what the person types, by keysym name
    const char* text;                  // what that writes, UTF-8
};

// AltGr, dead keys, the layout's own letters and the digit row.
const LayoutCase kCases[] = {
    {"German", "de", "de",
     {"G", "r", "udiaeresis", "ssharp", "e", "colon", "space", "at", "EuroSign", "Odiaeresis", "asciitilde", "bar",
      "braceleft", "braceright", "backslash", "twosuperior", "dead_circumflex", "a", "y", "z", "1", "exclam"},
     "Grüße: @€Ö~|{}\\²âyz1!"},
    {"French", "fr", "fr",
     {"agrave", "eacute", "egrave", "ccedilla", "ugrave", "space", "at", "EuroSign", "twosuperior", "dead_circumflex",
      "e", "1", "2", "3", "a", "z", "q", "w", "m", "comma", "semicolon"},
     "àéèçù @€²ê123azqwm,;"},
    {"German after a switch from US while running", "us", "de",
     {"y", "z", "Y", "at", "udiaeresis", "minus", "plus", "numbersign"},
     "yzY@ü-+#"},
};

void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.name; }

void pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

class OnALayout : public ::testing::Test {
protected:
    void SetUp() override {
        x = e2e::startXServer();
        folders = e2e::makeFolders();
        ASSERT_TRUE(e2e::openPersonInput(person, x.display, false));
    }
    void TearDown() override {
        for (pid_t terminal : terminals) e2e::terminateAndWait(terminal, 5000);
        if (pid > 0) e2e::terminateAndWait(pid, 10000);
        e2e::closePersonInput(person);
        e2e::stopXServer(x);
        e2e::removeFolders(folders);
    }
    void setLayout(const char* layout) {
        const pid_t setter = e2e::spawnProcess({"/usr/bin/setxkbmap", "-display", x.display, layout}, {});
        ASSERT_EQ(e2e::waitForExit(setter, 10000), 0) << layout;
    }
    void start(const char* page) {
        pid = e2e::startVarnet(x, folders, {}, e2e::binaryWithPage(folders, page));
        ASSERT_GT(pid, 0);
        ASSERT_TRUE(e2e::waitForFile(folders.sideFile("status.txt"), 30000));
    }
    bool statusHas(const std::string& wanted, const char* file = "status.txt") {
        for (int waited = 0; waited < 10000; waited += 10, pause(10))
            if (e2e::readFile(folders.sideFile(file)).find(wanted) != std::string::npos) return true;
        return false;
    }
    bool waitForState(const std::string& state) { return statusHas("{\"state\":\"" + state + "\""); }
    // A terminal at the top left that writes what it receives into the file,
    // with the pointer in it so that it has the focus. The file starts with
    // a space, the probe that says the terminal takes keys.
    void openTerminal(const std::string& file) {
        const std::string command = "stty -icanon -echo; cat > " + file;
        terminals.push_back(e2e::spawnProcess({"/usr/bin/xterm", "-display", x.display, "-geometry", "60x10+0+0", "-u8",
                                               "-e", "sh", "-c", command},
                                              {"LANG=C.UTF-8", "LC_ALL=C.UTF-8"}));
        ASSERT_TRUE(e2e::waitForFile(file, 15000));
        e2e::personMoveTo(person, 40, 40);
        // The terminal takes keys once its shell has switched echo off; a
        // probe it writes back says so.
        ASSERT_TRUE(e2e::personType(person, XK_space));
        ASSERT_TRUE(e2e::waitForFileContent(file, " ", 10000));
    }

    e2e::XServer x;
    e2e::Folders folders;
    e2e::PersonInput person;
    std::vector<pid_t> terminals;
    pid_t pid = -1;
};

class KeyboardLayouts : public OnALayout, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(KeyboardLayouts, APlayedBackMacroTypesWhatThePersonTyped) {
    const LayoutCase& c = GetParam();
    setLayout(c.startLayout);
    start(kPollingPage);
    setLayout(c.typingLayout);

    const std::string typed = folders.root + "/typed.txt", played = folders.root + "/played.txt";
    openTerminal(typed);
    e2e::personTap(person, XK_F8);
    ASSERT_TRUE(waitForState("Recording"));
    for (const char* name : c.keysyms) ASSERT_TRUE(e2e::personType(person, XStringToKeysym(name))) << name;
    const std::string text = std::string(" ") + c.text;
    ASSERT_TRUE(e2e::waitForFileContent(typed, text, 10000)) << e2e::readFile(typed);
    e2e::personTap(person, XK_F8);
    ASSERT_TRUE(waitForState("Idle"));
    e2e::terminateAndWait(terminals.back(), 5000);
    terminals.pop_back();

    openTerminal(played);
    e2e::personTap(person, XK_F7);
    EXPECT_TRUE(e2e::waitForFileContent(played, text, 15000))
        << "typed " << text << ", played back " << e2e::readFile(played);
}

// The key spammer's target is a key with the modifiers held with it: AltGr+Q
// spams @ on a German keyboard.
TEST_F(OnALayout, TheKeySpammerTypesAnAltGrCharacter) {
    setLayout("de");
    start(kTargetPage);
    ASSERT_TRUE(statusHas("\"reassigning\":\"keyspamtarget\""));
    e2e::personKeycode(person, 108, true);  // AltGr
    ASSERT_TRUE(e2e::personType(person, XK_q));
    e2e::personKeycode(person, 108, false);
    ASSERT_TRUE(statusHas("\"keySpamTarget\":\"@ — AltGr+Q\""));

    const std::string spammed = folders.root + "/spammed.txt";
    openTerminal(spammed);
    const std::string pipe = e2e::pipePath(folders);
    ASSERT_TRUE(e2e::sendToPipe(pipe, "startKeySpam|"));
    std::string text;
    for (int waited = 0; waited < 10000 && text.size() < 4; waited += 10, pause(10)) text = e2e::readFile(spammed);
    ASSERT_TRUE(e2e::sendToPipe(pipe, "stopKeySpam|"));
    ASSERT_GE(text.size(), 4u);
    EXPECT_EQ(text, " " + std::string(text.size() - 1, '@'));
}

// The text typer and a macro's text row type through the layout's own keys,
// with Shift and AltGr as it needs them, and a character the layout lacks
// through a spare keycode lent to it.
struct TypedCase {
    const char* name;
    const char* layout;
    const char* text;  // UTF-8, with characters off the layout (ж, and ü and € on us)
};
const TypedCase kTypedCases[] = {
    // More characters off the layout than it has spare keycodes to lend.
    {"us_twelve_lent", "us", "\xCE\xB1\xCE\xB2\xCE\xB3\xCE\xB4\xCE\xB5\xCE\xB6\xCE\xB7\xCE\xB8"
                             "\xCE\xB9\xCE\xBA\xCE\xBB\xCE\xBC \xCE\xB1\xCE\xB2"},
    {"us", "us", "Hello, World! @{}|~\\ \xC3\xBC\xE2\x82\xAC\xD0\xB6 \"q\" 1+1=2"},
    {"de", "de", "Gr\xC3\xBC\xC3\x9F" "e, World! @{}|~\\ \xE2\x82\xAC\xD0\xB6^\xC2\xB2 \"y\" z"},
};

class TypedText : public OnALayout, public ::testing::WithParamInterface<TypedCase> {};

// The text as a JavaScript string literal: every character past ASCII as \uXXXX.
std::string jsLiteral(const std::string& utf8) {
    std::string out = "\"";
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        uint32_t value = length == 1 ? lead : lead & (0x7F >> length);
        for (int k = 1; k < length; ++k) value = (value << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += size_t(length);
        char escaped[16];
        if (value == '"' || value == '\\') out += '\\', out += char(value);
        else if (value < 0x80) out += char(value);
        else std::snprintf(escaped, sizeof escaped, "\\u%04x", value), out += escaped;
    }
    return out + "\"";
}

TEST_P(TypedText, TheTyperTypesItsTextThenEnter) {
    const TypedCase& c = GetParam();
    setLayout(c.layout);
    // One text, then the run ends.
    const std::string page = std::string("<!doctype html><html><body><script>") +
                             "window.updateKeySpam(0,0,0,100,0,1);" + "window.setKeyTyper(1,true,0," + jsLiteral(c.text) + ");" +
                             "setInterval(function(){ if (window.getTrackerStatus) window.getTrackerStatus(); }, 30);" +
                             "</script></body></html>";
    start(page.c_str());
    ASSERT_TRUE(statusHas("\"ksMode\":1", "settings.txt"));
    const std::string typed = folders.root + "/typed.txt";
    openTerminal(typed);
    ASSERT_TRUE(e2e::sendToPipe(e2e::pipePath(folders), "startKeySpam|"));
    const std::string expected = std::string(" ") + c.text + "\n";
    EXPECT_TRUE(e2e::waitForFileContent(typed, expected, 15000)) << "typed " << e2e::readFile(typed);
}

TEST_P(TypedText, AMacrosTextRowPlaysAsItsText) {
    const TypedCase& c = GetParam();
    setLayout(c.layout);
    std::string row;
    for (const char* at = c.text; *at; ++at) row += *at == '%' ? std::string("%25") : std::string(1, *at);
    std::filesystem::create_directories(folders.data + "/Varnet");
    e2e::writeFile(folders.sessionFile(),
                   "SETTINGS:0,0,0,100,0,0,1,10,0,0,0,1,1,1,1,0,1,0,500,119,118,0,117,0,0,0,100,1,10,120,32\r\n"
                   "CURRENT:0\r\nPROFILE:typed\r\nTYPE:0.1," + row + "%0A\r\n");
    start(kPollingPage);
    const std::string played = folders.root + "/played.txt";
    openTerminal(played);
    e2e::personTap(person, XK_F7);
    const std::string expected = std::string(" ") + c.text + "\n";
    EXPECT_TRUE(e2e::waitForFileContent(played, expected, 15000)) << "played " << e2e::readFile(played);
}

INSTANTIATE_TEST_SUITE_P(UsAndGerman, TypedText, ::testing::ValuesIn(kTypedCases),
                         [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(EveryCase, KeyboardLayouts, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.startLayout) + "_" +
                                                       info.param.typingLayout; });

}  // namespace
