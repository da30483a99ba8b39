// The parameter block as built, and its entries read one by one.
#include "loader/StampedParamBlock.h"

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

TEST(ParamBlockReader, HandlesNullAndEmptyText)
{
    loader::ParamEntry e;
    loader::ParamBlockReader none(nullptr, 10);
    EXPECT_FALSE(none.Next(e));
    loader::ParamBlockReader empty("", 1);
    EXPECT_FALSE(empty.Next(e));
}

}  // namespace
