// The sound editor job with the stand-in editor (fake_tessaro), under the
// real progress window, its setup fetched from a local FTP server when the
// editor is not registered.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "FileBytes.h"
#include "RegistryValues.h"
#include "TestJobs.h"
#include "WaitFor.h"
#include "components/LocalFtpServer.h"
#include "components/SoundEditor.h"
#include "files/LFile.h"
#include "resources/resource.h"
#include "ui/MessageBoxCapture.h"
#include "TestFiles.h"

namespace {

constexpr const char* SETTINGS_KEY = "Software\\Talmarin\\Corvane\\Settings";

std::string TessaroFolder()
{
    char programFiles[MAX_PATH] = "";
    GetEnvironmentVariableA("ProgramFiles", programFiles, sizeof(programFiles));
    return std::string(programFiles) + "\\Talmarin\\Tessaro";
}

std::string ControlText(HWND window, int id)
{
    char text[TEXT_BUFFER_SIZE] = "";
    GetDlgItemTextA(window, id, text, sizeof(text));
    return text;
}

class SoundEditorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CopyText(data.szPath, (TempFolder() + "Editor Test 01.wav").c_str());
        std::ofstream(data.szPath, std::ios::binary) << "RIFF and a few bytes to edit";
        // Nobody answers here: a test that is not about the download fetches nothing.
        SetValue(SETTINGS_KEY, "ComponentServers", "127.0.0.1:1");
        CleanUp();
    }
    void TearDown() override
    {
        while (HWND editor = FindWindowA(FAKE_TESSARO_CLASS, nullptr))
            SendMessageA(editor, WM_CLOSE, 0, 0);
        DeleteValue(SETTINGS_KEY, "ComponentServers");
        CleanUp();
        DeleteFileA(data.szPath);
    }
    void CleanUp()
    {
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, TESSARO_SETTINGS_KEY);
        // Retried: an editor just closed may still hold its own file.
        WaitFor([] {
            LFile::DeleteFolderAndFiles(TessaroFolder().c_str());
            return !Exists(TessaroFolder());
        });
        DeleteFileA(FakeTessaroRecord("edited.txt").c_str());
        DeleteFileA(FakeTessaroRecord("edited.wav").c_str());
    }

    // Runs the job under the progress window while `user` acts on another thread.
    ProcessResult Run(const std::function<void(WindowJob&)>& user)
    {
        ProcessResult result = Failed;
        WindowJob job(
            [&](WindowJob& self) {
                std::thread acting([&] { user(self); });
                result = ProcessTessaroRunCommandLine(self, data);
                acting.join();
                return true;
            },
            "Run Tessaro");
        job.Run(nullptr);
        return result;
    }

    // Waits for the editor's window and for the job to tell the user about it.
    static HWND WaitForEditor(WindowJob& job, std::string (&texts)[2])
    {
        HWND editor = nullptr;
        // The window exists a moment before the editor shows it.
        WaitFor([&] { return (editor = FindWindowA(FAKE_TESSARO_CLASS, nullptr)) != nullptr && IsWindowVisible(editor); },
                20000);
        WaitFor([&] {
            HWND window = job.hWnd;
            texts[0] = window ? ControlText(window, IDC_PROGRESS_LINE0) : "";
            texts[1] = window ? ControlText(window, IDC_PROGRESS_LINE1) : "";
            return texts[1] == "to continue...";
        });
        return editor;
    }

    LTessaroJobData data = {};
};

TEST_F(SoundEditorTest, TheRegisteredEditorGetsThePathAndTheJobEndsWhenItCloses)
{
    SetValue(TESSARO_SETTINGS_KEY, "RunEdit", ("\"" + FakeTessaroPath() + "\" \"%s\"").c_str());
    std::string texts[2];
    bool bEditorShown = false;
    const ProcessResult result = Run([&](WindowJob& job) {
        HWND editor = WaitForEditor(job, texts);
        bEditorShown = editor && IsWindowVisible(editor);
        WaitFor([] { return Exists(FakeTessaroRecord("edited.txt")); });
        PostMessageA(editor, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(result, Done);
    EXPECT_TRUE(bEditorShown);
    EXPECT_EQ(texts[0], "Please exit Tessaro");
    EXPECT_EQ(texts[1], "to continue...");
    // The job returned because the editor had ended.
    EXPECT_EQ(FindWindowA(FAKE_TESSARO_CLASS, nullptr), nullptr);
    const std::vector<std::string> record = Lines(FakeTessaroRecord("edited.txt"));
    ASSERT_EQ(record.size(), 2u);
    EXPECT_EQ(record[1], data.szPath);
    EXPECT_EQ(FileBytes(FakeTessaroRecord("edited.wav")), FileBytes(data.szPath));
    // The file is the caller's.
    EXPECT_TRUE(Exists(data.szPath));
}

TEST_F(SoundEditorTest, CancelEndsTheJobAtOnceAndTheEditorStaysOpen)
{
    SetValue(TESSARO_SETTINGS_KEY, "RunEdit", ("\"" + FakeTessaroPath() + "\" \"%s\"").c_str());
    HWND editor = nullptr;
    const ProcessResult result = Run([&](WindowJob& job) {
        std::string texts[2];
        editor = WaitForEditor(job, texts);
        PostMessageA(job.hWnd, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(result, Done);
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(IsWindow(editor));
}

TEST_F(SoundEditorTest, WithoutAnEditorTheUserIsAskedToDownloadIt)
{
    // An empty command means the editor's own setup chose not to install it:
    // nothing is fetched. A missing one is fetched first, here from a server
    // that does not hold it.
    struct Case
    {
        const char* name;
        bool bRegisteredEmpty;
        bool bServerAsked;
    };
    for (const Case& c : {Case{"registered empty", true, false}, Case{"missing", false, true}})
    {
        SCOPED_TRACE(c.name);
        LocalFtpServer server("no-editor", {});
        ASSERT_NE(server.port, 0);
        SetValue(SETTINGS_KEY, "ComponentServers", server.Server().c_str());
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, TESSARO_SETTINGS_KEY);
        if (c.bRegisteredEmpty)
            SetValue(TESSARO_SETTINGS_KEY, "RunEdit", "");

        MessageBoxCapture boxes(IDNO);
        TestJobControl job;
        EXPECT_EQ(ProcessTessaroRunCommandLine(job, data), Done);
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].caption, "Tessaro Required");
        EXPECT_EQ(boxes.boxes[0].text,
                  "The free plugin \"Tessaro\" is required to edit files. Do you want to download it now?");
        EXPECT_EQ(boxes.boxes[0].icon, IDI_QUESTION);
        EXPECT_EQ(boxes.boxes[0].hOwner, nullptr);
        EXPECT_EQ(!server.Log().empty(), c.bServerAsked);
        EXPECT_EQ(FindWindowA(FAKE_TESSARO_CLASS, nullptr), nullptr);
    }
}

TEST_F(SoundEditorTest, CancellingTheEditorsDownloadAsksNothingMore)
{
    LocalFtpServer server("stalled-editor", {{"tssetup.exe", FakeTessaroPath()}}, "--stall 20000");
    ASSERT_NE(server.port, 0);
    SetValue(SETTINGS_KEY, "ComponentServers", server.Server().c_str());
    MessageBoxCapture boxes(IDNO);
    TestJobControl job;
    std::thread user([&] {
        WaitFor([&] { return FileSize(TempFolder() + "tssetup.exe") >= 20000; }, 20000);
        job.Stop();
    });
    EXPECT_EQ(ProcessTessaroRunCommandLine(job, data), Stopped);
    user.join();
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(FindWindowA(FAKE_TESSARO_CLASS, nullptr), nullptr);
}

TEST_F(SoundEditorTest, AMissingEditorIsFetchedInstalledAndStartedOnTheFile)
{
    LocalFtpServer server("editor", {{"tssetup.exe", FakeTessaroPath()}});
    ASSERT_NE(server.port, 0);
    SetValue(SETTINGS_KEY, "ComponentServers", server.Server().c_str());
    const std::string record = TessaroFolder() + "\\edited.txt";
    MessageBoxCapture boxes(IDNO);
    const ProcessResult result = Run([&](WindowJob& job) {
        std::string texts[2];
        HWND editor = WaitForEditor(job, texts);
        WaitFor([&] { return Exists(record); });
        PostMessageA(editor, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(result, Done);
    EXPECT_TRUE(boxes.boxes.empty());
    const std::vector<std::string> edited = Lines(record);
    ASSERT_EQ(edited.size(), 2u);
    EXPECT_EQ(edited[0], "\"" + TessaroFolder() + "\\tessaro.exe\" \"" + data.szPath + "\"");
    EXPECT_EQ(FileBytes(TessaroFolder() + "\\edited.wav"), FileBytes(data.szPath));
    EXPECT_FALSE(Exists(TempFolder() + "tssetup.exe"));
}

TEST_F(SoundEditorTest, TheCommandTakesThePathInItsFirstPlaceholderOnly)
{
    const std::string editor = "\"" + FakeTessaroPath() + "\"";
    const std::string path = data.szPath;
    struct Case
    {
        std::string format;
        std::string command;  // empty: the editor cannot be started
    };
    const Case cases[] = {
        {editor + " %n%s%s%x", editor + " %n" + path + "%s%x"},
        {editor + " --no-file", editor + " --no-file"},
        {"\"" + TempFolder() + "no-such-editor.exe\" \"%s\"", ""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.format);
        DeleteFileA(FakeTessaroRecord("edited.txt").c_str());
        SetValue(TESSARO_SETTINGS_KEY, "RunEdit", c.format.c_str());
        const ProcessResult result = Run([&](WindowJob&) {
            if (c.command.empty())
                return;
            HWND window = nullptr;
            WaitFor([&] { return (window = FindWindowA(FAKE_TESSARO_CLASS, nullptr)) != nullptr; }, 20000);
            WaitFor([] { return Exists(FakeTessaroRecord("edited.txt")); });
            PostMessageA(window, WM_CLOSE, 0, 0);
        });
        if (c.command.empty())
        {
            EXPECT_EQ(result, Failed);
            continue;
        }
        EXPECT_EQ(result, Done);
        const std::vector<std::string> record = Lines(FakeTessaroRecord("edited.txt"));
        ASSERT_FALSE(record.empty());
        EXPECT_EQ(record[0], c.command);
    }
}

} // namespace
