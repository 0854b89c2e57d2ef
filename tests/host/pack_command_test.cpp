// tobrin-pack as its users run it: create, list, verify and extract on real
// folders and files, with the exit codes and messages of every refusal.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <tuple>

#include "../format/package_bytes.h"
#include "folder_target.h"
#include "pack_test_support.h"
#include "text.h"
#include "package/package_format.h"
#include "package/package_seal.h"
#include "package/package_writer.h"

using namespace pack_test;
using nsTobrin::FileFromBytes;

namespace {

// The root group's name as the packer prints it.
std::string Root() { return std::string(nsTobrin::kRootGroupName.begin(), nsTobrin::kRootGroupName.end()); }

// Every file and folder below `folder`: relative path -> content, or "<dir>".
std::map<std::string, std::string> Tree(const fs::path& folder) {
  std::map<std::string, std::string> tree;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    const std::string relative = fs::relative(entry.path(), folder).string();
    tree[relative] = entry.is_directory() ? "<dir>" : ReadFile(entry.path());
  }
  return tree;
}

// A packed program of the test runner and the given groups, as another
// writer of the format might make it.
void WritePacked(const fs::path& path, const std::vector<nsTobrin::WriterGroup>& groups) {
  FILE* file = std::fopen(path.c_str(), "w+b");
  ASSERT_NE(file, nullptr);
  const std::string stub = MakePe();
  std::fwrite(stub.data(), 1, stub.size(), file);
  nsTobrin::AppendPackage(file, groups);
  std::fclose(file);
}

nsTobrin::WriterFile Runnable() { return nsTobrin::FileFromBytes(u"AssistFile.ini", "[ParamOption]\nExecuteFileName=a.cmd\n"); }

}  // namespace

TEST(PackRoundTrip, CreateListVerifyExtractKeepEveryFileAndFolder) {
  Packed p;
  WriteTree(p.tree,
            {{"MessageSetting.ini", "[Setting]\nIsShowMessageBox=1\nIsOk=0\n"},
             {"MessageInfo.xml", "<MessageInfo><ENG>Go?</ENG><JPN>\xE8\xA1\x8C\xE3\x81\x8F</JPN></MessageInfo>"},
             {"empty.txt", ""},
             {"Docs/read me.txt", "docs"},
             // A program under a name other programs load: CreateProcessW starts it all the same.
             {"Docs/x64/\xE6\xBC\xA2\xE5\xAD\x97.dll", MakePe() + std::string(300000, 'k')},
             {"caf\xC3\xA9/\xC3\xA9t\xC3\xA9.txt", "summer"},
             {"a/zero", ""},
             {"a b/", ""},
             {"Zeta/nested/deep/", ""},
             {"AssistFile.ini",
              "[ParamOption]\nExecuteFileName=\xE6\xBC\xA2\xE5\xAD\x97.dll\nParamA=-a\nParamB=-b\nProductName=Round Trip\n"}});
  // Written as UTF-8 without a mark, the non-ASCII file name is refused...
  EXPECT_REFUSED(p.Create(), "ExecuteFileName holds non-ASCII characters");
  // ... and with the mark it names the file in Docs\x64.
  WriteFile(p.tree / "AssistFile.ini", "\xEF\xBB\xBF" + ReadFile(p.tree / "AssistFile.ini"));

  const RunResult created = p.Create();
  ASSERT_EQ(created.exitCode, 0) << created.err;
  EXPECT_EQ(created.err, "");

  // The runner's bytes stay as they were, but 28 to 35: the mark (the seal's
  // test) and where the package starts (the default runner's test).
  const std::string stub = ReadFile(p.stub), packed = ReadFile(p.out);
  ASSERT_GT(packed.size(), stub.size());
  EXPECT_EQ(packed.substr(0, 28) + packed.substr(36, stub.size() - 36), stub.substr(0, 28) + stub.substr(36));

  // Groups in ordinal order: uppercase before lowercase, a name before the
  // names it is a prefix of, parents before children, empty folders kept.
  // list shows them in the order of their records in the directory.
  const nlohmann::json listed = ListJson(p.out);
  std::vector<std::string> groups;
  for (const auto& group : listed["groups"]) groups.push_back(group["name"]);
  EXPECT_EQ(groups, (std::vector<std::string>{"Docs", "Docs\\x64", Root(), "Zeta", "Zeta\\nested", "Zeta\\nested\\deep", "a",
                                              "a b", std::string("caf\xC3\xA9")}));
  const nlohmann::json& root = listed["groups"][2];
  EXPECT_EQ(root["root"], true);
  EXPECT_EQ(root["files"][3], (nlohmann::json{{"name", "empty.txt"}, {"size", 0}, {"offset", root["files"][3]["offset"]}}));
  const nlohmann::json& settings = listed["settings"];
  EXPECT_EQ(settings["payload"], "Docs\\x64\\\xE6\xBC\xA2\xE5\xAD\x97.dll");
  EXPECT_EQ(settings["paramB"], "-b");
  EXPECT_EQ(settings["productName"], "Round Trip");
  EXPECT_EQ(settings["buttons"], 2);
  EXPECT_EQ(settings["languages"], (std::vector<std::string>{"ENG", "JPN"}));
  EXPECT_TRUE(listed["signature"].is_null());

  const RunResult verified = RunPack({"verify", p.out.string()});
  EXPECT_EQ(verified.exitCode, 0) << verified.err;

  const fs::path extracted = p.dir / "extracted";
  const RunResult written = RunPack({"extract", p.out.string(), extracted.string()});
  ASSERT_EQ(written.exitCode, 0) << written.err;
  EXPECT_EQ(Tree(extracted), Tree(p.tree));
}

TEST(PackRoundTrip, TheDefaultRunnerIsFoundBesideThePackerOrInTheBuildTree) {
  TempDir layout;
  WriteTree(layout.Path(), {{"host/", ""}, {"i686/tobrin.exe", MakePe()}});
  const fs::path packer = layout / "host" / "tobrin-pack";
  fs::copy_file(TOBRIN_PACK_PATH, packer);
  WriteMinimalPackage(layout / "tree");

  auto create = [&] { return RunProgram(packer.string(), {"create", "-o", (layout / "a.exe").string(), (layout / "tree").string()}); };
  ASSERT_EQ(create().exitCode, 0);
  EXPECT_EQ(U32At(ReadFile(layout / "a.exe"), 32), 1024u);

  // The runner beside the packer comes first.
  std::string beside = MakePe();
  beside.append(976, '\0');
  WriteFile(layout / "host" / "tobrin.exe", beside);
  ASSERT_EQ(create().exitCode, 0);
  EXPECT_EQ(U32At(ReadFile(layout / "a.exe"), 32), 2000u);

  fs::remove(layout / "host" / "tobrin.exe");
  fs::remove(layout / "i686" / "tobrin.exe");
  fs::remove(layout / "a.exe");
  EXPECT_REFUSED(create(), "no runner to bind the package to");
  EXPECT_FALSE(fs::exists(layout / "a.exe"));
}

TEST(PackCreate, RunnersThatCannotCarryAPackageAreRefused) {
  Packed p;
  PeOptions signedPe;
  signedPe.certificate = true;
  PeOptions dll;
  dll.dll = true;
  std::string headerInDos = MakePe();
  headerInDos[0x3C] = 0x20;
  PeOptions used;  // bytes 32 to 35 used otherwise, as in a packed program
  used.packageField = 7;
  for (const auto& [stub, message] : std::vector<std::pair<std::string, const char*>>{
           {headerInDos, "starts inside the MS-DOS header"}, {MakePe(dll), "is a DLL"}, {MakePe(signedPe), "sign the packed program"},
           {MakePe(used), "bytes 32 to 35 are not zero"}}) {
    WriteFile(p.stub, stub);
    EXPECT_CREATE_REFUSED(p, message);
  }
  // A runner of 2 GiB would put the package out of the runner's reach.
  WriteFile(p.stub, MakePe());
  fs::resize_file(p.stub, 0x80000000ull);
  EXPECT_CREATE_REFUSED(p, "the package would start at or beyond 2 GiB");
}

TEST(PackCreate, FoldersWithNamesOrFilesTheRunnerCannotTakeAreRefused) {
  // Files relative to the tree, or what else is made in the folder, and the refusal.
  using Plant = std::function<void(const Packed&)>;
  const std::vector<std::tuple<std::vector<std::string>, Plant, const char*>> cases = {
      {{"CON.txt"}, nullptr, "a path component is a device name"},
      {{"a\\b"}, nullptr, "holds a backslash"},
      {{"Readme.txt", "README.TXT"}, nullptr, "differ only in letter case"},
      {{"x/\xE1\xBA\xA1", "x/\xE1\xBA\xA0"}, nullptr, "differ only in letter case"},
      {{"docs", "Docs/x.txt"}, nullptr, "is a file where the folder"},
      {{Root() + "/x.txt"}, nullptr, "taken for the package's root group"},
      {{"bad\xFF.txt"}, nullptr, "not valid UTF-8"},
      {{}, [](const Packed& p) { fs::create_symlink(p.tree / "setup.exe", p.tree / "linked.exe"); },
       "is a symbolic link, which is not followed"},
      {{"huge.bin"}, [](const Packed& p) { fs::resize_file(p.tree / "huge.bin", 0x80000000ull); },  // sparse: nothing is read
       "huge.bin: is 2147483648 bytes long"},
      {{}, [](const Packed& p) { fs::create_directory_symlink(fs::temp_directory_path(), p.tree / "link"); },
       "symbolic link to a folder"},
  };
  for (const auto& [files, plant, message] : cases) {
    Packed p;
    for (const std::string& file : files) WriteFile(p.tree / file, "x");
    if (plant) plant(p);
    EXPECT_CREATE_REFUSED(p, message);
  }

  // The partial file has a name of its own: a link planted at the old fixed
  // name, or at the output itself, leads nowhere.
  Packed planted;
  WriteFile(planted.dir / "victim", "keep");
  fs::create_symlink(planted.dir / "victim", planted.dir / "out.exe.tobrin-pack-partial");
  fs::permissions(planted.stub, fs::perms::owner_all | fs::perms::group_read);
  ASSERT_EQ(planted.Create().exitCode, 0);
  EXPECT_EQ(ReadFile(planted.dir / "victim"), "keep");
  EXPECT_EQ(fs::status(planted.out).permissions(), fs::perms::owner_all | fs::perms::group_read);
  fs::remove(planted.out);
  fs::create_symlink(planted.dir / "victim", planted.out);
  ASSERT_EQ(planted.Create().exitCode, 0);
  EXPECT_EQ(ReadFile(planted.dir / "victim"), "keep");
  EXPECT_FALSE(fs::is_symlink(planted.out));
  // The runner, tree, victim, the old link and out.exe: no partial file left.
  EXPECT_EQ(std::distance(fs::directory_iterator(planted.dir.Path()), fs::directory_iterator()), 5);

  // A deep tree, packed with a small stack.
  Packed deep;
  std::string level = deep.tree.string();
  for (int i = 0; i < 400; ++i) ASSERT_EQ(mkdir((level += "/d").c_str(), 0700), 0) << level.size();
  const RunResult walked = RunProgram("sh", {"-c", "ulimit -s 128 && exec \"$0\" \"$@\"", TOBRIN_PACK_PATH, "create", "-o",
                                             deep.out.string(), "--stub", deep.stub.string(), deep.tree.string()});
  EXPECT_EQ(walked.exitCode, 0) << walked.err.substr(0, 300);

  Packed inside;
  EXPECT_REFUSED(RunPack({"create", "-o", (inside.tree / "out.exe").string(), "--stub", inside.stub.string(),
                          inside.tree.string()}),
                 "lies inside the folder being packed");
  EXPECT_REFUSED(RunPack({"create", "-o", inside.out.string(), "--stub", inside.stub.string(),
                          (inside.dir / "missing").string()}),
                 "missing: does not exist");
}

TEST(PackCreate, APartialOutputIsRemovedWhenTheRunIsEnded) {
  TempDir dir;
  for (int signal : {SIGTERM, SIGINT}) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      nsTobrin::PendingFile pending(dir / "out.exe");
      std::fputs("partial", pending.Get());
      std::fflush(pending.Get());
      std::raise(signal);
      _exit(3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    EXPECT_TRUE(fs::is_empty(dir.Path())) << fs::directory_iterator(dir.Path())->path();
  }
}

TEST(PackCreate, SettingsThatStartNothingAreRefused) {
  // AssistFile.ini (empty: none) and the refusal; which names the runner
  // refuses to start is the format test's.
  const std::vector<std::pair<std::string, const char*>> cases = {
      {"", "AssistFile.ini: missing"},
      {"[ParamOption]\nParamA=x\n", "section [ParamOption] has no ExecuteFileName"},
      {"[ParamOption]\nExecuteFileName=\n", "ExecuteFileName is empty"},
      {"[ParamOption]\nExecuteFileName=Error\n", "has no ExecuteFileName"},  // the runner's default
      {"[ParamOption]\nExecuteFileName=install.exe\n", "ExecuteFileName \"install.exe\" names no file in the package"},
      {"[ParamOption]\nExecuteFileName=" + std::string(130, 'n') + ".exe\n", "the runner reads only the first 127"},
      {package_bytes::Utf16Le(u"[ParamOption]\r\nExecuteFileName=setup.exe\r\n", false), "UTF-16 written without a byte-order mark"},
      {"[ParamOption]\nExecuteFileName=bin\\..\\setup.exe\n", "has a '..' component: the runner"},
  };
  for (const auto& [assist, message] : cases) {
    Packed p;
    if (assist.empty()) fs::remove(p.tree / "AssistFile.ini");
    else WriteFile(p.tree / "AssistFile.ini", assist);
    EXPECT_CREATE_REFUSED(p, message);
  }

  // Accepted: the section and key in any letter case, the file named in any
  // letter case or by its path below the extraction folder, a long name
  // that fits, a file name of 127 characters in a subfolder.
  const std::string longName = std::string(123, 'L') + ".exe";
  for (const std::string& assist :
       {std::string("[PARAMOPTION]\nexecutefilename = SETUP.EXE\n"), std::string("[ParamOption]\nExecuteFileName=bin\\tool.exe\n"),
        std::string("[ParamOption]\nExecuteFileName=\"tool.exe\"\n"), "[ParamOption]\nExecuteFileName=" + longName + "\n"}) {
    Packed p;
    WriteFile(p.tree / "bin" / "tool.exe", MakePe());
    WriteFile(p.tree / "bin" / longName, MakePe());
    WriteFile(p.tree / "AssistFile.ini", assist);
    const RunResult r = p.Create();
    EXPECT_EQ(r.exitCode, 0) << assist << r.err;
  }
  // The same name at the root and in a folder that sorts before the root
  // group: the runner starts the folder's, and create and verify say so.
  Packed twice;
  WriteFile(twice.tree / "Bin" / "setup.exe", MakePe());
  EXPECT_WARNED(twice.Create(), "also matches \"setup.exe\": the runner starts \"Bin\\setup.exe\"");
  EXPECT_WARNED(RunPack({"verify", twice.out.string()}), "the runner starts \"Bin\\setup.exe\"");
}

TEST(PackCreate, MessageSettingsThatShowAnEmptyBoxAreWarnedAbout) {
  const std::pair<std::string, std::string> box = {"MessageSetting.ini", "[Setting]\nIsShowMessageBox=1\n"};
  auto info = [](const std::string& xml) { return std::pair<std::string, std::string>("MessageInfo.xml", xml); };
  // Files over the minimal package, and the warning (nullptr: none at all).
  const std::vector<std::pair<TreeEntries, const char*>> cases = {
      {{box}, "MessageInfo.xml: missing, while MessageSetting.ini asks for a message box"},
      {{{"MessageSetting.ini", "[Setting]\nIsShowMessageBox=yes\n"}}, nullptr},
      {{info("<MessageInfo><ENG>x</DEU></MessageInfo>")}, "not well-formed XML (line 1, column"},
      {{box, info("<Messages><ENG>x</ENG></Messages>")}, "the root element is <Messages>"},
      {{box, info("<MessageInfo><DEU>x</DEU></MessageInfo>")}, "has no <ENG> element"},
      {{box, info("<MessageInfo><ENG>x</ENG></MessageInfo>")}, nullptr},
      {{info("<?xml version='1.0' encoding='Shift_JIS'?><MessageInfo><ENG>x</ENG></MessageInfo>")}, "declares the encoding Shift_JIS"},
      {{info("<!DOCTYPE MessageInfo []><MessageInfo><ENG>x</ENG></MessageInfo>")}, "holds a document type declaration"},
      {{{"AssistFile.ini", "[ParamOption]\nExecuteFileName=setup.exe\nProductName=Caf\xE9\n"}}, "ProductName holds non-ASCII"},
  };
  for (const auto& [files, message] : cases) {
    Packed p;
    WriteTree(p.tree, files);
    const RunResult r = p.Create();
    if (message) EXPECT_WARNED(r, message);
    else EXPECT_TRUE(r.exitCode == 0 && r.err.empty()) << r.err;
    EXPECT_TRUE(fs::exists(p.out)) << files.front().second;
  }
}

TEST(PackVerify, ProgramsTheRunnerWouldNotRunAreRefused) {
  Packed p;
  ASSERT_EQ(p.Create().exitCode, 0);
  const std::string packed = ReadFile(p.out);
  auto verify = [&p](const std::string& bytes) { return p.Verify(bytes); };

  // A certificate table (16 bytes) where the package starts, at byte 1024,
  // is no signature of it; one that ends before the package (at byte 768)
  // was made before packing.
  using package_bytes::Flipped;
  using package_bytes::WithU32;
  constexpr std::size_t kCertificateEntry = 0x84 + 20 + 96 + 32;
  const std::string overlaid = WithU32(WithU32(packed, kCertificateEntry, 0x400), kCertificateEntry + 4, 0x10);
  const std::string signedEarly = WithU32(overlaid, kCertificateEntry, 0x300);
  // A package that starts inside the image.
  const std::string package = package_bytes::Records(1).Group(nsTobrin::kRootGroupName, 0).Bytes();
  const std::string overlapping = WithU32(MakePe().replace(0x300, package.size(), package), 32, 0x300);
  // A package marked as sealed without its seal, or with a bit of the mark
  // or the seal's magic changed.
  const std::string markChanged = Flipped(packed, {29}), magicChanged = Flipped(packed, {packed.size() - nsTobrin::kSealRecordSize});
  for (const auto& [bytes, message] : std::vector<std::pair<std::string, const char*>>{
           {MakePe(), "carries no package"},
           {packed.substr(0, packed.size() - nsTobrin::kSealRecordSize - 3), "the data area is cut short"},
           {"NZ" + packed.substr(2), "is not a PE program"},
           {overlaid, "the package lies inside the signature"},
           {signedEarly, "was signed before it was packed"},
           {overlapping, "inside the executable image"},
           {Flipped(packed, {35}, '\x80'), "the package offset is 2 GiB or more"},
           {packed.substr(0, packed.size() - nsTobrin::kSealRecordSize), "marked as sealed, but no seal follows"},
           {markChanged, "the package's mark (bytes 28 to 31) is unknown"},
           {magicChanged, "marked as sealed, but what follows the data area is no seal"}})
    EXPECT_REFUSED(verify(bytes), message);
  EXPECT_EQ(verify(signedEarly).err.find("inside the signature"), std::string::npos);

  // Two groups of one name, what Windows takes for one file, names it
  // cannot keep, a payload too deep to be started.
  // The root group with what starts a.cmd, a.cmd, and `more`.
  auto root = [](std::vector<nsTobrin::WriterFile> more) {
    more.insert(more.begin(), {Runnable(), FileFromBytes(u"a.cmd", "1")});
    return nsTobrin::WriterGroup{nsTobrin::kRootGroupName, more};
  };
  const nsTobrin::WriterFile x = FileFromBytes(u"x", "");
  const std::u16string deep = std::u16string(80, u'd') + u"\\" + std::u16string(80, u'e') + u"\\" + std::u16string(80, u'f');
  const std::vector<std::pair<std::vector<nsTobrin::WriterGroup>, const char*>> cases = {
      {{root({}), {u"g", {}}, {u"g", {x}}}, "two groups of one name"},
      {{root({FileFromBytes(u"\u03ac", "2"), FileFromBytes(u"\u0386", "3")})}, "differ only in letter case"},  // files
      {{root({}), {u"\u0561", {x}}, {u"\u0531", {x}}}, "differ only in letter case"},  // groups
      {{root({FileFromBytes(u"g/b", "2")}), {u"g", {FileFromBytes(u"b", "3")}}}, "differ only in '/' against '\\'"},
      {{root({FileFromBytes(std::u16string(256, u'n'), "")})}, "256 characters long; Windows keeps names of 255"},
      {{{nsTobrin::kRootGroupName, {Runnable()}}, {deep, {FileFromBytes(u"a.cmd", "1")}}}, "248 characters deep in the package"},
  };
  for (const auto& [groups, message] : cases) {
    WritePacked(p.dir / "case.exe", groups);
    EXPECT_REFUSED(RunPack({"verify", (p.dir / "case.exe").string()}), message);
  }
  ASSERT_EQ(mkfifo((p.dir / "fifo.exe").c_str(), 0600), 0);
  const RunResult fifo = RunProgram("timeout", {"20", TOBRIN_PACK_PATH, "verify", (p.dir / "fifo.exe").string()});
  EXPECT_REFUSED(fifo, "is not a regular file");

  // Bytes after the package that are no signature: an error after a marked
  // package, which ends with its seal; a warning after an unmarked one.
  EXPECT_REFUSED(verify(packed + "trailing"), "8 bytes after the package are neither package nor signature");
  EXPECT_EQ(verify(packed).exitCode, 0);
  ASSERT_EQ(p.Create({"--no-seal"}).exitCode, 0);
  EXPECT_WARNED(verify(ReadFile(p.out) + "trailing"), "8 bytes after the package are neither package nor signature");
}

TEST(PackExtract, WritesOnlyBelowANewOrEmptyFolder) {
  Packed p;
  ASSERT_EQ(p.Create().exitCode, 0);
  const fs::path target = p.dir / "target";
  WriteFile(target / "old.txt", "old");
  EXPECT_REFUSED(RunPack({"extract", p.out.string(), target.string()}), "is not empty");
  EXPECT_EQ(ReadFile(target / "old.txt"), "old");

  // A package whose names climb out of the folder is refused whole.
  WritePacked(p.dir / "evil.exe", {{u"sub", {FileFromBytes(u"..\\..\\escaped.txt", "x")}}});
  const fs::path fresh = p.dir / "fresh" / "deeper";
  EXPECT_REFUSED(RunPack({"extract", (p.dir / "evil.exe").string(), fresh.string()}), "a file name is refused");
  EXPECT_FALSE(fs::exists(p.dir / "escaped.txt"));
  EXPECT_FALSE(fs::exists(p.dir / "fresh" / "escaped.txt"));
  EXPECT_REFUSED(RunPack({"list", (p.dir / "evil.exe").string()}), "the package is damaged");

  fs::create_directory_symlink(target, p.dir / "via-link");
  EXPECT_REFUSED(RunPack({"extract", p.out.string(), (p.dir / "via-link").string()}),
                 "is a symbolic link to a folder, which is not followed");
}

TEST(PackExtract, AFolderSwappedForALinkMidwayLeadsNowhereElse) {
  TempDir dir;
  const fs::path root = dir / "target", outside = dir / "outside";
  fs::create_directories(root);
  fs::create_directories(outside);
  const auto openDescriptors = [] {
    return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
  };
  const auto descriptorsBefore = openDescriptors();
  {
    nsTobrin::OpenFolder opened;
    ASSERT_EQ(opened.Open(root), 0);
    nsTobrin::FolderTarget target(root, std::move(opened), nullptr);
    // Right after "a" is made and opened, and before anything is opened in
    // it, another program puts a link to a folder outside in its place.
    target.OnFolderOpened([&](const fs::path& folder) {
      if (folder != root / "a") return;
      fs::rename(folder, root / "moved");
      fs::create_directory_symlink(outside, folder);
    });
    ASSERT_EQ(target.BeginFile(u"a\\b", u"x.txt"), 0) << target.FailureReason();
    const unsigned char data[] = {'h', 'i'};
    ASSERT_EQ(target.WriteData(data, sizeof(data)), 0);
    ASSERT_EQ(target.EndFile(), 0);
  }
  // Each folder it opened is closed once, and no descriptor of anyone else.
  EXPECT_EQ(openDescriptors(), descriptorsBefore);
  EXPECT_TRUE(fs::is_empty(outside));
  EXPECT_EQ(ReadFile(root / "moved" / "b" / "x.txt"), "hi");
}

TEST(PackList, ShowsControlCharactersEscapedAndWritesValidJson) {
  TempDir dir;
  const fs::path packed = dir / "bad\xFF.exe";
  std::string catalogue = "<MessageInfo><ENG>x</ENG>";
  catalogue.resize(17u << 20, ' ');
  WritePacked(packed, {{nsTobrin::kRootGroupName,
                        {FileFromBytes(u"AssistFile.ini", "\xEF\xBB\xBF[ParamOption]\nExecuteFileName=a\nProductName=\x1b[2J\xE2\x80\xAE" "evil\n"),
                         FileFromBytes(u"MessageInfo.xml", catalogue + "</MessageInfo>"), FileFromBytes(u"a", "1"),
                         FileFromBytes(u"\u202etxt.exe", "")}}});
  const RunResult text = RunPack({"list", packed.string()});
  ASSERT_EQ(text.exitCode, 0) << text.err;
  EXPECT_EQ(text.out.find('\x1b'), std::string::npos);
  EXPECT_EQ(text.out.find("\xE2\x80\xAE"), std::string::npos);
  EXPECT_NE(text.out.find("ProductName  \"\\x1b[2J\\u202eevil\""), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("\\u202etxt.exe"), std::string::npos) << text.out;
  const RunResult json = RunPack({"list", "--json", packed.string()});
  ASSERT_EQ(json.exitCode, 0) << json.err;
  std::u16string decoded;
  EXPECT_TRUE(nsTobrin::Utf8ToUtf16(json.out, decoded)) << json.out.substr(0, 200);
  EXPECT_EQ(ListJson(packed)["settings"]["messageInfo"], "unreadable");
}

TEST(PackCommandLine, HelpAndMistakes) {
  // Each command's --help is run by the man page's test.
  for (const auto& [args, exitCode, err] : std::vector<std::tuple<std::vector<std::string>, int, const char*>>{
           {{}, 2, ""},
           {{"pack"}, 2, ""},
           {{"create", "folder"}, 2, "-o OUT.exe"},
           {{"list", "--verbose", "x.exe"}, 2, ""},
           {{"extract", "only-one"}, 2, ""},
           {{"list", "/nonexistent/x.exe"}, 1, "/nonexistent/x.exe: cannot be opened"}})
    EXPECT_TRUE(Ended(RunPack(args), exitCode, err)) << testing::PrintToString(args);
}

TEST(PackSeal, CreateSealsAndListVerifyAndExtractCheckTheSeal) {
  Packed p;
  WriteFile(p.tree / "data.bin", std::string(200000, 'd'));
  const RunResult created = p.Create();
  ASSERT_EQ(created.exitCode, 0) << created.err;
  // The stand-in runner declares no seal checks and no decoding, so its
  // package is stored; a current runner declares both.
  EXPECT_NE(created.out.find("does not declare that it checks seals"), std::string::npos) << created.out;
  EXPECT_NE(created.out.find("does not declare CompressedPackages"), std::string::npos) << created.out;
  EXPECT_EQ(ListJson(p.out)["layout"], "stored");
  // A current runner declares both; its packages are compressed.
  WriteFile(p.stub, DeclaringRunner({"SealedPackages", "CompressedPackages"}));
  const RunResult current = p.Create();
  ASSERT_EQ(current.exitCode, 0) << current.err;
  EXPECT_EQ(current.out.find("does not declare"), std::string::npos) << current.out;

  const nlohmann::json layout = ListJson(p.out);
  EXPECT_TRUE(layout["layout"] == "compressed" && layout["ratio"] < 0.01) << layout;
  const fs::path whole = p.dir / "whole";
  ASSERT_EQ(RunPack({"extract", p.out.string(), whole.string()}).exitCode, 0);
  EXPECT_TRUE(ReadFile(whole / "data.bin") == std::string(200000, 'd'));
  EXPECT_EQ(RunPack({"create", "-o", p.out.string(), "--store", "--level", "3", p.tree.string()}).exitCode, 2);

  const std::string sealed = ReadFile(p.out);
  const std::string hex = nsTobrin::DigestHex([&] {
    nsTobrin::SealDigestBytes digest;
    std::copy(sealed.end() - 16, sealed.end(), digest.begin());
    return digest;
  }());
  const nlohmann::json json = ListJson(p.out), seal = json["seal"];
  EXPECT_TRUE(seal["algorithm"] == "XXH3-128" && seal["digest"] == hex && json["mark"] == "TbZs") << json;
  EXPECT_EQ(RunPack({"verify", p.out.string()}).exitCode, 0);

  // Damage in the data area: verify says so, extract keeps nothing.
  const std::string damaged = package_bytes::Flipped(sealed, {sealed.size() - nsTobrin::kSealRecordSize - 3});
  EXPECT_REFUSED(p.Verify(damaged), "the seal does not match");
  WriteFile(p.dir / "damaged.exe", damaged);
  const fs::path fresh = p.dir / "fresh", empty = p.dir / "empty";
  fs::create_directories(empty);
  EXPECT_REFUSED(RunPack({"extract", (p.dir / "damaged.exe").string(), fresh.string()}), "the seal does not match");
  EXPECT_REFUSED(RunPack({"extract", (p.dir / "damaged.exe").string(), empty.string()}), "the seal does not match");
  EXPECT_FALSE(fs::exists(fresh));
  EXPECT_TRUE(fs::is_empty(empty));
  EXPECT_REFUSED(p.Verify(sealed.substr(0, sealed.size() - 1)), "the seal is cut short");

  // --no-seal: the plain format, 40 bytes shorter than --store's.
  ASSERT_EQ(p.Create({"--store"}).exitCode, 0);
  const std::size_t stored = ReadFile(p.out).size();
  EXPECT_EQ(ReadFile(p.out).substr(28, 4), "TbSe");
  ASSERT_EQ(p.Create({"--no-seal"}).exitCode, 0);
  EXPECT_EQ(ReadFile(p.out).size(), stored - nsTobrin::kSealRecordSize);
  EXPECT_EQ(ReadFile(p.out).substr(28, 4), std::string(4, '\0'));
  EXPECT_TRUE(ListJson(p.out)["seal"].is_null() && ListJson(p.out)["mark"].is_null());

  // A runner that also undoes the address rewrite gets it (TbAr); list,
  // verify and extract undo it.
  WriteFile(p.stub, DeclaringRunner({"SealedPackages", "CompressedPackages", "AddressRewrittenPackages"}));
  const std::string program = package_bytes::Pe32Program(0x10000000, 0x80000, 300000);
  WriteFile(p.tree / "data.bin", program);
  ASSERT_EQ(p.Create().exitCode, 0);
  EXPECT_EQ(ListJson(p.out)["mark"], "TbAr");
  EXPECT_NE(RunPack({"list", p.out.string()}).out.find("mark: TbAr (compressed with the PE32 files' addresses"),
            std::string::npos);
  EXPECT_EQ(RunPack({"verify", p.out.string()}).exitCode, 0);
  ASSERT_EQ(RunPack({"extract", p.out.string(), (p.dir / "rewritten").string()}).exitCode, 0);
  EXPECT_TRUE(ReadFile(p.dir / "rewritten" / "data.bin") == program);
}
