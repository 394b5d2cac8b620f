// The preview switches and resolutions of a job, written into "setup".
#include <string>
#include <tuple>
#include <vector>

#include "converter_fixture.h"

namespace {

using Written = std::tuple<std::string, std::string, std::string>;  // key, value, comment

class PreviewsTest : public ConversionTest {
 protected:
  std::vector<Written> Setup() const {
    std::vector<Written> out;
    for (const CParamItem& item : Items("setup")) out.emplace_back(item.key, item.value, item.comment.value_or("(none)"));
    return out;
  }
};

TEST_F(PreviewsTest, SwitchesAndResolutions) {
  struct Row {
    const char* name;
    QX_TDict job;
    std::vector<Written> expected;
  };
  auto job = [](QX_TAny rgb, QX_TAny cmyk) {
    QX_TDict dict;
    dict.Add("RGBPreview", rgb);
    dict.Add("CMYKPreview", cmyk);
    return dict;
  };
  auto with = [](QX_TDict dict, const char* key, const QX_TAny& value) {
    dict.Add(key, value);
    return dict;
  };
  const Written rgbOff{"RGBpreview", "0", "don't place RGB-preview"};
  const Written rgbOn{"RGBpreview", "1", "place RGB-preview"};
  const Written cmykOff{"CMYKpreview", "0", "don't place CMYK-preview"};
  const Written cmykOn{"CMYKpreview", "1", "place CMYK-preview"};
  auto rgbRes = [](const char* v) { return Written{"RGBResolution", v, "Resolution of RGB-preview"}; };
  auto cmykRes = [](const char* v) { return Written{"CMYKResolution", v, "Resolution of CMYK-preview"}; };

  const std::vector<Row> rows = {
      {"RGB on with its default, CMYK off", job(true, false), {rgbOn, rgbRes("72.0"), cmykOff}},
      {"both off: two items only",
       with(with(job(false, false), "RGBResolution", QX_TDouble(300)), "CMYKResolution", QX_TDouble(300)),
       {rgbOff, cmykOff}},
      {"both on with defaults", job(true, true), {rgbOn, rgbRes("72.0"), cmykOn, cmykRes("150.0")}},
      {"CMYK resolution in the %.15g form", with(job(false, true), "CMYKResolution", QX_TDouble(300)),
       {rgbOff, cmykOn, cmykRes("300")}},
      {"integer resolution", with(job(false, true), "CMYKResolution", QX_TInt32(600)),
       {rgbOff, cmykOn, cmykRes("600")}},
      {"fractional RGB resolution", with(job(true, false), "RGBResolution", QX_TDouble(72.5)),
       {rgbOn, rgbRes("72.5"), cmykOff}},
      {"numeric switches", job(QX_TInt32(1), QX_TInt32(0)), {rgbOn, rgbRes("72.0"), cmykOff}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TW_TTask rowTask;
    TestConverter rowConverter(rowTask);
    QX_TDict rowJob = row.job;
    rowConverter.AddJobInfo_previewsOnly(ticket, rowJob, 1);
    std::vector<Written> written;
    for (const CParamItem& item : rowConverter.Dictionary().FindSection("setup")->Items())
      written.emplace_back(item.key, item.value, item.comment.value_or("(none)"));
    EXPECT_EQ(written, row.expected);
    EXPECT_EQ(rowConverter.Dictionary().FindJobSection(1), nullptr);
    EXPECT_TRUE(rowTask.Log().empty());
  }
}

TEST_F(PreviewsTest, AMissingSwitchFailsBeforeAnythingIsWritten) {
  for (const char* missing : {"RGBPreview", "CMYKPreview"}) {
    SCOPED_TRACE(missing);
    QX_TDict job;
    if (std::string(missing) != "RGBPreview") job.Add("RGBPreview", QX_TBool(true));
    if (std::string(missing) != "CMYKPreview") job.Add("CMYKPreview", QX_TBool(true));
    EXPECT_THROW(converter.AddJobInfo_previewsOnly(ticket, job, 1), QX_EIllegalCast);
    EXPECT_TRUE(Items("setup").empty());
  }
}

TEST_F(PreviewsTest, ASwitchOrResolutionOfAnotherTypeFails) {
  QX_TDict job;
  job.Add("RGBPreview", QX_TString("yes"));
  job.Add("CMYKPreview", QX_TBool(false));
  EXPECT_THROW(converter.AddJobInfo_previewsOnly(ticket, job, 1), QX_EIllegalCast);

  job.Add("RGBPreview", QX_TBool(true));
  job.Add("RGBResolution", QX_TString("72"));
  EXPECT_THROW(converter.AddJobInfo_previewsOnly(ticket, job, 1), QX_EIllegalCast);
  // The switch was written before the resolution was read.
  EXPECT_EQ(Keys("setup"), (std::vector<std::string>{"RGBpreview"}));
}

TEST_F(PreviewsTest, TheLastJobDecides) {
  QX_TDict first;
  first.Add("RGBPreview", QX_TBool(true));
  first.Add("CMYKPreview", QX_TBool(false));
  first.Add("RGBResolution", QX_TDouble(96));
  QX_TDict second;
  second.Add("RGBPreview", QX_TBool(false));
  second.Add("CMYKPreview", QX_TBool(true));
  converter.AddJobInfo_previewsOnly(ticket, first, 1);
  converter.AddJobInfo_previewsOnly(ticket, second, 2);
  EXPECT_EQ(Setup(), (std::vector<Written>{{"RGBpreview", "0", "don't place RGB-preview"},
                                           {"RGBResolution", "96", "Resolution of RGB-preview"},
                                           {"CMYKpreview", "1", "place CMYK-preview"},
                                           {"CMYKResolution", "150.0", "Resolution of CMYK-preview"}}));
}

}  // namespace
