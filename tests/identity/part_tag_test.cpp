// partTagOf: the first "$" application in the host's xdata order, whole.
#include "identity/part_tag.h"

#include "tests/support/host_test.h"

namespace {

class PartTagTest : public HostTest {
 protected:
  std::string tagOf(AcDbObjectId id) {
    AcDbObject* object = nullptr;
    EXPECT_EQ(acdbOpenAcDbObject(object, id, AcDb::kForRead), Acad::eOk);
    std::string tag = U8(partTagOf(object));
    object->close();
    return tag;
  }
  AcDbObjectId tagged(const std::vector<std::string>& apps) {
    AcDbObjectId id = add("LINE");
    for (const std::string& app : apps)
      EXPECT_EQ(host().setXData(id, app, {xd::text(app)}), Acad::eOk);
    return id;
  }
};

TEST_F(PartTagTest, ObjectsWithoutADollarApplicationHaveNoTag) {
  EXPECT_EQ(tagOf(tagged({})), "");
  EXPECT_EQ(tagOf(tagged({"ACAD", "PIPES"})), "");
  EXPECT_EQ(U8(partTagOf(nullptr)), "");
}

TEST_F(PartTagTest, TheFirstTagInXdataOrderWins) {
  EXPECT_EQ(tagOf(tagged({"ACAD", "$1F", "$2B"})), "$1F");
  EXPECT_EQ(tagOf(tagged({"$2B", "ACAD", "$1F"})), "$2B");
}

TEST_F(PartTagTest, TagsComeBackExactlyAndWhole) {
  EXPECT_EQ(tagOf(tagged({"$ab"})), "$ab");
  EXPECT_EQ(tagOf(tagged({"$"})), "$");
  std::string longTag = "$" + std::string(200, 'Q');
  EXPECT_EQ(tagOf(tagged({"ACAD", longTag})), longTag);
}

}  // namespace
