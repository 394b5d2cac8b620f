// The task's template names as the host contract fixes them.
#include <gtest/gtest.h>

#include "tname.h"

namespace {

class TemplateNames : public ::testing::Test {
 protected:
  TemplateNames() {
    names.Define("page", 0, 0);
    names.SetValue("file", QX_TString("brochure"));
    names.SetValue("ink", QX_TString("<page>"));
    names.SetValue("fileurl", QX_TURL::LocalToURL("/in"));
  }
  TName names;
};

TEST_F(TemplateNames, ResolveTable) {
  struct Row {
    const char* text;
    bool ok;
    const char* result;
  };
  const Row rows[] = {
      {"plain", true, "plain"},
      {"<file>.pdf", true, "brochure.pdf"},
      {"<page>x", true, "x"},
      {"<ink>", true, "<page>"},  // inserted values are not resolved again
      {"<fileurl>/out", true, "file:///in/out"},
      {"a<b", true, "a<b"},
      {"a<<file>", true, "a<brochure"},
      {"<>", true, "<>"},
      {"<File>", false, "unchanged"},
      {"<file><nope>", false, "unchanged"},
  };
  for (const Row& row : rows) {
    QX_TString result("unchanged");
    EXPECT_EQ(names.Resolve(row.text, result), row.ok) << row.text;
    EXPECT_EQ(result, row.result) << row.text;
  }
}

TEST_F(TemplateNames, ResolveToUrl) {
  QX_TURL url(QX_TString("file:///before"));
  EXPECT_TRUE(names.Resolve("/out/<file>", url));
  EXPECT_EQ(url.Text(), "file:///out/brochure");
  EXPECT_TRUE(names.Resolve("<page>", url));
  EXPECT_TRUE(url.IsEmpty());
  QX_TURL kept(QX_TString("file:///kept"));
  EXPECT_FALSE(names.Resolve("<nope>", kept));
  EXPECT_EQ(kept.Text(), "file:///kept");
}

TEST_F(TemplateNames, DefineKeepsAValueAndSetValueDefines) {
  names.Define("file", 0, 0);
  QX_TString result;
  ASSERT_TRUE(names.Resolve("<file>", result));
  EXPECT_EQ(result, "brochure");
  EXPECT_FALSE(names.IsDefined("joburl"));
  names.SetValue("joburl", QX_TURL::LocalToURL("/jobs/J1"));
  EXPECT_TRUE(names.IsDefined("joburl"));
}

}  // namespace
