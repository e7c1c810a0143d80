// Listing lines as servers send them, and the names that must never come out of them.
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "controls/ftp_listing.h"

namespace {

using controls::FtpListEntry;
using controls::FtpListFormat;
using controls::ParseFtpListLine;

struct Case {
  FtpListFormat format;
  const char* line;
  std::optional<FtpListEntry> want;
};

const Case kCases[] = {
    // Unix, as ls -l and most servers write it.
    {FtpListFormat::kList, "-rw-r--r--   1 ftp  ftp      1234 Jan 15 10:30 setup_1.txt",
     FtpListEntry{"setup_1.txt", false, 1234}},
    {FtpListFormat::kList, "drwxr-xr-x   2 ftp  ftp      4096 Dec  1  2019 firmware",
     FtpListEntry{"firmware", true, 4096}},
    {FtpListFormat::kList, "-rw-r--r--   1 ftp  ftp        17 Jan 15 10:30 name with  spaces.txt",
     FtpListEntry{"name with  spaces.txt", false, 17}},
    {FtpListFormat::kList, "-rw-r--r-- 1 owner 99 Mar 3 2021 no-group",
     FtpListEntry{"no-group", false, 99}},
    {FtpListFormat::kList, "lrwxrwxrwx   1 root root        7 Feb  2 09:00 latest -> v2/fw.bin",
     FtpListEntry{"latest", false, 7}},
    {FtpListFormat::kList, "-rw-r--r-- 1 u g 5000000000 2020-01-15 10:30 big.bin",
     FtpListEntry{"big.bin", false, 5000000000}},
    {FtpListFormat::kList, "-rw-r--r-- 1 u g 12 Jan 15 10:30 Jan 15 10:30 dated",
     FtpListEntry{"Jan 15 10:30 dated", false, 12}},
    {FtpListFormat::kList, "total 24", std::nullopt},
    {FtpListFormat::kList, "", std::nullopt},
    {FtpListFormat::kList, "drwxr-xr-x 2 u g 4096 Jan 15 10:30 .", std::nullopt},
    {FtpListFormat::kList, "drwxr-xr-x 2 u g 4096 Jan 15 10:30 ..", std::nullopt},
    {FtpListFormat::kList, "-rw-r--r-- 1 u g 5 Jan 15 10:30 ../../etc/passwd", std::nullopt},
    {FtpListFormat::kList, "-rw-r--r-- 1 u g 5 Jan 15 10:30 /etc/passwd", std::nullopt},
    {FtpListFormat::kList, "-rw-r--r-- 1 u g 5 Jan 15 10:30 ..\\up.txt", std::nullopt},
    {FtpListFormat::kList, "-rw-r--r-- 1 u g 5 Jan 15 10:30 sub/file", std::nullopt},
    {FtpListFormat::kList, "-rw-r--r-- 1 u g 5 Jan 15 10:30 ...", FtpListEntry{"...", false, 5}},
    // MS-DOS, as IIS writes it.
    {FtpListFormat::kList, "01-15-20  10:30AM       <DIR>          Meter Logs",
     FtpListEntry{"Meter Logs", true, 0}},
    {FtpListFormat::kList, "01-15-2020  01:05PM                 2048 fw 1.bin",
     FtpListEntry{"fw 1.bin", false, 2048}},
    {FtpListFormat::kList, "01-15-20  10:30AM       <DIR>          ..", std::nullopt},
    {FtpListFormat::kList, "01-15-20  10:30AM                   5 ..\\..\\boot.ini", std::nullopt},
    {FtpListFormat::kList, "01-15-20  10:30AM                 abc name", std::nullopt},
    // MLSD facts.
    {FtpListFormat::kMlsd, "type=file;size=512;modify=20200115103000;perm=r; a b.txt",
     FtpListEntry{"a b.txt", false, 512}},
    {FtpListFormat::kMlsd, "Type=DIR;Modify=20200115103000; logs", FtpListEntry{"logs", true, 0}},
    {FtpListFormat::kMlsd, "type=OS.unix=slink:/x;size=3; link", FtpListEntry{"link", false, 3}},
    {FtpListFormat::kMlsd, "type=cdir; /home/meter", std::nullopt},
    {FtpListFormat::kMlsd, "type=pdir; ..", std::nullopt},
    {FtpListFormat::kMlsd, "type=file;size=1; ../escape", std::nullopt},
    {FtpListFormat::kMlsd, "type=file;size=1; ", std::nullopt},
    {FtpListFormat::kMlsd, "type=file;size=1;", std::nullopt},
    {FtpListFormat::kMlsd, "type=file;size=1;  lead", FtpListEntry{" lead", false, 1}},
};

TEST(FtpListing, LinesOfEachFormat) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.line);
    auto got = ParseFtpListLine(c.line, c.format);
    ASSERT_EQ(got.has_value(), c.want.has_value()) << (got ? got->name : "");
    if (!got) continue;
    EXPECT_EQ(got->name, c.want->name);
    EXPECT_EQ(got->is_dir, c.want->is_dir);
    EXPECT_EQ(got->size, c.want->size);
  }
}

TEST(FtpListing, ReaderSplitsChunksAndDropsOverlongLines) {
  controls::FtpListingReader reader(FtpListFormat::kMlsd);
  std::vector<std::string> names;
  auto emit = [&](const FtpListEntry& e) { names.push_back(e.name); };
  const std::string text = "type=file; one\r\ntype=file; " + std::string(5000, 'x') +
                           "\r\ntype=dir; two\ntype=file; three";
  // Fed in awkward pieces: a line end split from its line, a name split in two.
  for (size_t i = 0; i < text.size(); i += 7) reader.Feed(text.substr(i, 7), emit);
  reader.Finish(emit);
  EXPECT_EQ(names, (std::vector<std::string>{"one", "two", "three"}));
}

TEST(FtpListing, SafeNames) {
  for (const char* bad : {"", ".", "..", "a/b", "a\\b", "x\ty", "nul\x01", "del\x7f"})
    EXPECT_FALSE(controls::IsSafeListName(bad)) << bad;
  for (const char* good : {"...", "a b", "..hidden", "caf\xc3\xa9", "-rf"})
    EXPECT_TRUE(controls::IsSafeListName(good)) << good;
}

}  // namespace
