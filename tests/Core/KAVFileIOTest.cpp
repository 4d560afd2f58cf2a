#include <gtest/gtest.h>

#include "Core/KAVFileIO.h"
#include "platform/Files.h"
#include "platform/Log.h"
#include "tests/support/TestSupport.h"

namespace {

TEST(KAVFileIO, WholeFilesUnderTheDocumentsFolder) {
    kavtest::TempDir data;
    platform::files::setDataRoot(data.path());
    platform::LogCapture log;
    KAVFileIO::testOpen();
    EXPECT_TRUE(log.contains("KAVFileIO is OK"));

    EXPECT_FALSE(KAVFileIO::openFile("dealersInfo.json"));
    ASSERT_TRUE(KAVFileIO::saveFile("dealersInfo.json", R"({"children":[{"dealerKey":"K1"}]})"));
    ASSERT_TRUE(KAVFileIO::saveFile("dealersInfo.json", R"({"children":[]})"));
    EXPECT_EQ(KAVFileIO::openFile("dealersInfo.json"), R"({"children":[]})");
    EXPECT_TRUE(log.contains(KAVFileIO::getFullPath("dealersInfo.json")));
    EXPECT_FALSE(KAVFileIO::saveFile("../dealersInfo.json", "{}"));
    platform::files::setDataRoot({});
}

}  // namespace
