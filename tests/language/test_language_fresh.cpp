// A process that has loaded nothing: its own test program, since every other
// language test loads files into the one process-wide store.
#include "QRVLanguageDll.h"

#include <gtest/gtest.h>

TEST(LanguageFresh, NothingToHandOutBeforeAnyLoad) {
    char16_t number[800], text[800];
    EXPECT_EQ(qmkHLGetContenItem(0, number, text), 0);
    EXPECT_EQ(qmkHLGetLanguageFileCount(), 0);
    uint16_t length = 7;
    EXPECT_EQ(qmkHLGetLanguageName(0, text, 799, &length), 0);
    EXPECT_EQ(length, 7);
}
