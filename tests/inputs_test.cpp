// The path rules of the input files: which files an argument names, and how reports name them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "common/command_line.h"
#include "data/inputs.h"

namespace {

// A wrong file opened, or a report naming another file than the user gave: folders and grid files
// in both path styles, with spaces and letters beyond ASCII; a grid file's settings lie beside it.
TEST(Inputs, FilesNamedByAnArgument) {
    const PathStyle W = PathStyle::Windows, P = PathStyle::Posix;
    const struct {
        const char* path;
        bool isFolder;
        PathStyle style;
        const char *grid, *settings, *name, *stem;
    } cases[] = {
        {"run42", true, W, "run42\\quorlane.dat", "run42\\quorlane.ini", "run42", "run42"},
        {"run42", true, P, "run42/quorlane.dat", "run42/quorlane.ini", "run42", "run42"},
        {"runs/42", true, W, "runs/42/quorlane.dat", "runs/42/quorlane.ini", "42", "42"},
        {"C:\\runs\\run42\\", true, W, "C:\\runs\\run42\\quorlane.dat",
         "C:\\runs\\run42\\quorlane.ini", "run42", "run42"},
        {"C:\\runs/run 42", true, W, "C:\\runs/run 42/quorlane.dat", "C:\\runs/run 42/quorlane.ini",
         "run 42", "run 42"},
        {"D:", true, W, "D:quorlane.dat", "D:quorlane.ini", "", ""},
        {"/data/donn\u00e9es \u03a9", true, P, "/data/donn\u00e9es \u03a9/quorlane.dat",
         "/data/donn\u00e9es \u03a9/quorlane.ini", "donn\u00e9es \u03a9", "donn\u00e9es \u03a9"},
        {"run42\\step_0017.dat", false, W, "run42\\step_0017.dat", "run42\\quorlane.ini",
         "step_0017.dat", "step_0017"},
        {"run42\\step_0017.dat", false, P, "run42\\step_0017.dat", "quorlane.ini",
         "run42\\step_0017.dat", "run42\\step_0017"},
        {"/runs/a.b/grid", false, P, "/runs/a.b/grid", "/runs/a.b/quorlane.ini", "grid", "grid"},
        {"step.dat", false, W, "step.dat", "quorlane.ini", "step.dat", "step"},
        {"C:step.dat", false, W, "C:step.dat", "C:quorlane.ini", "step.dat", "step"},
        {".hidden", false, P, ".hidden", "quorlane.ini", ".hidden", ".hidden"},
    };
    for (const auto& c : cases) {
        const InputFiles in = InputsOf(c.path, c.isFolder, c.style);
        EXPECT_EQ(in.gridPath, c.grid) << c.path;
        EXPECT_EQ(in.settingsPath, c.settings) << c.path;
        EXPECT_EQ(in.name, c.name) << c.path;
        EXPECT_EQ(in.stem, c.stem) << c.path;
    }
}

// A folder is named by its full path's last component, a root by its drive: never "C:" or "..".
TEST(Inputs, FolderNames) {
    const PathStyle W = PathStyle::Windows, P = PathStyle::Posix;
    const struct {
        const char* folder;
        PathStyle style;
        const char* name;
    } cases[] = {
        {"C:\\", W, "C"},
        {"d:/", W, "D"},
        {"\\\\?\\e:\\", W, "E"},
        {"\\", W, "root"},
        {"C:\\runs\\run42\\", W, "run42"},
        {"\\\\server\\share\\", W, "share"},
        {"/", P, "root"},
        {"////////////////////////////////", P, "root"},
        {"/data/run42/", P, "run42"},
        {"/mnt/C:", P, "C:"},
    };
    for (const auto& c : cases) EXPECT_EQ(FolderName(c.folder, c.style), c.name) << c.folder;
}

// Arguments on disk: a folder, a file, ".", the root and a missing path.
TEST(Inputs, ArgumentsOnDisk) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() /
                         ("quorlane_inputs_" + std::to_string(std::random_device{}())) /
                         fs::u8path("donn\u00e9es \u03a9");
    fs::create_directories(dir);
    std::ofstream(dir / "step_0017.dat") << "1 1 1 1\n5\n";
    const std::string folder = dir.u8string(), file = (dir / "step_0017.dat").u8string();

    InputFiles in;
    ASSERT_TRUE(ResolveArgument(folder, in).ok);
    EXPECT_EQ(in.gridPath, folder + "/quorlane.dat");
    EXPECT_EQ(in.name, "donn\u00e9es \u03a9");
    ASSERT_TRUE(ResolveArgument(file, in).ok);
    EXPECT_EQ(in.settingsPath, folder + "/quorlane.ini");
    EXPECT_EQ(in.name, "step_0017.dat");

    const fs::path before = fs::current_path();
    fs::current_path(dir);
    ASSERT_TRUE(ResolveArgument(".", in).ok);
    EXPECT_EQ(in.name, "donn\u00e9es \u03a9");
    EXPECT_EQ(in.gridPath, "./quorlane.dat");
    fs::current_path(before);
    ASSERT_TRUE(ResolveArgument("/", in).ok);
    EXPECT_EQ(in.name, "root");
    EXPECT_EQ(in.gridPath, "/quorlane.dat");

    for (const std::string& missing : {folder + "/nothing", std::string()}) {
        const LoadResult r = ResolveArgument(missing, in);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.message, "Cannot open \"" + missing + "\"");
    }
    fs::remove_all(dir.parent_path());
}

// Paths for a second copy: spaces, a closing backslash (a drive's root), backslashes before quotes.
TEST(Inputs, QuotedForAnotherCopy) {
    const struct {
        const char *argument, *quoted;
    } cases[] = {
        {"run42", "\"run42\""}, {"C:\\runs\\run 42", "\"C:\\runs\\run 42\""},
        {"D:\\", "\"D:\\\\\""}, {"a\\\\b\\\"c", "\"a\\\\b\\\\\\\"c\""},
        {"", "\"\""},
    };
    for (const auto& c : cases) EXPECT_EQ(QuoteArgument(c.argument), c.quoted) << c.argument;
}

}  // namespace
