// The parameter block as built, and its entries read one by one.
#include "loader/ParamBlock.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ParamBlock, UnstampedTextIsTheCustomParamsEntryOf256Blanks)
{
    char block[loader::kParamBlockSize];
    loader::MakeUnstampedParamBlock(block);
    std::string expected = "\"/CustomParams" + std::string(257, ' ') + "\" ";
    ASSERT_EQ(expected.size(), loader::kParamBlockChars);
    EXPECT_EQ(std::string(block), expected);
    EXPECT_EQ(block[loader::kParamBlockChars], '\0');
}

TEST(ParamBlock, ProgramCarriesTheUnstampedBlock)
{
    char built[loader::kParamBlockSize], own[loader::kParamBlockSize];
    loader::MakeUnstampedParamBlock(built);
    loader::ReadStampedParamBlock(own);
    EXPECT_EQ(std::string(own, sizeof(own)), std::string(built, sizeof(built)));
}

TEST(ParamBlockReader, GivesEachEntryWithItsNameAndValue)
{
    const char text[] = "\"/Lang en\" \"/Silent\" \"/CustomParamsX a b\"";
    loader::ParamBlockReader reader(text, sizeof(text));
    loader::ParamEntry e;

    ASSERT_TRUE(reader.Next(e));
    EXPECT_EQ(std::string(e.name, e.nameLength), "Lang");
    EXPECT_TRUE(e.hasValue);
    EXPECT_EQ(std::string(e.value, e.valueLength), "en");
    EXPECT_FALSE(e.isCustomParams);

    ASSERT_TRUE(reader.Next(e));
    EXPECT_EQ(std::string(e.name, e.nameLength), "Silent");
    EXPECT_FALSE(e.hasValue);

    ASSERT_TRUE(reader.Next(e));
    EXPECT_EQ(std::string(e.name, e.nameLength), "CustomParamsX");
    EXPECT_TRUE(e.isCustomParams);
    EXPECT_EQ(std::string(e.value, e.valueLength), "a b");

    EXPECT_FALSE(reader.Next(e));
    EXPECT_FALSE(reader.Next(e));  // stays at the end
}

TEST(ParamBlockReader, HandlesNullAndEmptyText)
{
    loader::ParamEntry e;
    loader::ParamBlockReader none(nullptr, 10);
    EXPECT_FALSE(none.Next(e));
    loader::ParamBlockReader empty("", 1);
    EXPECT_FALSE(empty.Next(e));
}

TEST(ParamBlockReader, CustomParamsNameNeedsAll12CharactersInCase)
{
    EXPECT_TRUE(loader::IsCustomParamsName("CustomParams", 12));
    EXPECT_TRUE(loader::IsCustomParamsName("CustomParamsMore", 16));
    EXPECT_FALSE(loader::IsCustomParamsName("CustomParam", 11));
    EXPECT_FALSE(loader::IsCustomParamsName("CustomParams", 11));
    EXPECT_FALSE(loader::IsCustomParamsName("customParams", 12));
    EXPECT_FALSE(loader::IsCustomParamsName(nullptr, 12));
}

}  // namespace
