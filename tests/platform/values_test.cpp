// The value library as the converter relies on it: copy-on-write
// containers, the illegal value, the checked conversion, arrays with a lower
// bound, and the string and URL rules the host contract fixes.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "qxtypes.h"

namespace {

TEST(ValueCopies, ChangingACopyNeverChangesTheOriginal) {
  QX_TDict inner;
  inner.Add("Color", QX_TString("Cyan"));
  QX_TDict outer;
  outer.Add("Ink", inner);
  outer.Add("Count", QX_TInt32(1));

  QX_TDict copy(outer, 0);
  EXPECT_TRUE(copy.SharesContentsWith(outer));
  qx_cast<QX_TDict>(copy.Value("Ink"), "test", __LINE__).Add("Color", QX_TString("Magenta"));
  copy.Add("Extra", QX_TBool(true));

  EXPECT_FALSE(outer.HasKey("Extra"));
  EXPECT_EQ(qx_cast<QX_TString>(qx_cast<QX_TDict>(outer["Ink"], "test", __LINE__)["Color"], "test", __LINE__), "Cyan");
  EXPECT_EQ(qx_cast<QX_TString>(qx_cast<QX_TDict>(copy["Ink"], "test", __LINE__)["Color"], "test", __LINE__),
            "Magenta");
}

TEST(ValueCopies, ArrayElementsAreWrittenInPlaceAndCopiesStayApart) {
  QX_TArray jobs;
  QX_TDict job;
  job.Add("JobName", QX_TString("a.pdf"));
  jobs.Append(job);
  QX_TArray before(jobs, 0);

  QX_TDict& own = qx_cast<QX_TDict>(jobs.At(0), "test", __LINE__);
  own.Add("InFile", QX_TString("x"));

  EXPECT_TRUE(qx_cast<QX_TDict>(jobs[0], "test", __LINE__).HasKey("InFile"));
  EXPECT_FALSE(qx_cast<QX_TDict>(before[0], "test", __LINE__).HasKey("InFile"));
}

TEST(ValueCopies, AnyCopyDoesNotShareItsObject) {
  QX_TAny a = QX_TDict();
  QX_TAny b = a;
  qx_cast<QX_TDict>(a, "test", __LINE__).Add("k", QX_TInt32(1));
  EXPECT_FALSE(qx_cast<QX_TDict>(b, "test", __LINE__).HasKey("k"));
}

TEST(IllegalValue, MissingKeyReadsIllegalAndConvertingItRaises) {
  QX_TDict dict;
  const QX_TAny& missing = dict["Nope"];
  EXPECT_TRUE(missing.IsIllegal());
  EXPECT_EQ(missing, QX_TAny::Illegal());
  EXPECT_FALSE(dict.HasKey("Nope")) << "reading must not add the key";
  EXPECT_THROW(qx_cast<QX_TString>(missing, "x.cpp", 7), QX_EIllegalCast);
  EXPECT_THROW(missing.AsBool(), QX_EIllegalCast);
  EXPECT_THROW(missing.AsDouble(), QX_EIllegalCast);
}

TEST(IllegalValue, WritingThroughValueAddsTheKey) {
  QX_TDict dict;
  dict.Value("Added") = QX_TString("text");
  ASSERT_TRUE(dict.HasKey("Added"));
  EXPECT_EQ(dict.Entries(), 1);
}

TEST(CheckedConversion, ErrorNamesBothClassesAndTheSource) {
  QX_TAny value = QX_TUInt32(5);
  try {
    qx_cast<QX_TInt32>(value, ".\\ticket2dict_msbasetask.cpp", 321);
    FAIL() << "no error";
  } catch (const QX_EIllegalCast& e) {
    const std::string text = e.what();
    EXPECT_NE(text.find("QX_TInt32"), std::string::npos) << text;
    EXPECT_NE(text.find("QX_TUInt32"), std::string::npos) << text;
    EXPECT_NE(text.find(".\\ticket2dict_msbasetask.cpp"), std::string::npos) << text;
    EXPECT_NE(text.find("321"), std::string::npos) << text;
  }
  const std::exception* asStd = nullptr;
  try {
    qx_cast<QX_TDict>(value, "f", 1);
  } catch (const std::exception& e) {
    asStd = &e;
  }
  EXPECT_NE(asStd, nullptr) << "the illegal-cast error is a std::exception";
}

// A failed conversion of a looked-up value names what was read: the key (or
// element) and, for values from the task file, where they stand; a missing
// key stays named after the text it was asked with is gone.
TEST(CheckedConversion, LookupsNameWhatTheyRead) {
  QX_TDict dict;
  dict.Add("Copies", QX_TInt32(2));
  QX_TArray list(1);
  list.Append(QX_TString("a"));
  const auto text = [](const auto& call) {
    try {
      call();
    } catch (const QX_EIllegalCast& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(text([&] { qx_cast<QX_TUInt16>(dict["Copies"], "a.cpp", 3); }),
            "QX_EIllegalCast: \"Copies\": expected QX_TUInt16, got QX_TInt32 (a.cpp, line 3)");
  EXPECT_EQ(text([&] { list[1].AsDouble("b.cpp", 4); }),
            "QX_EIllegalCast: element 1: expected a number, got QX_TString (b.cpp, line 4)");

  auto origins = std::make_shared<QX_TOrigins>();
  const QX_TOrigin* options = origins->Member(origins->At("ticket.configuration"), "my options");
  dict.SetOrigin(origins, options);
  const auto& missing = dict[QX_TString(std::string("Copi") + "es2")];  // the key's text dies here
  EXPECT_EQ(text([&] { qx_cast<QX_TDict>(missing, "c.cpp", 5); }),
            "QX_EIllegalCast: \"Copies2\" at ticket.configuration[\"my options\"].Copies2: expected QX_TDict, got "
            "QX_TIllegal (c.cpp, line 5)");
}

TEST(ReadingNumbers, BoolAndDoubleAcceptNumbersOnly) {
  struct Row {
    QX_TAny value;
    double asDouble;
    bool asBool;
  };
  const Row rows[] = {
      {QX_TDouble(2.5), 2.5, true},    {QX_TInt32(-3), -3.0, true}, {QX_TUInt32(4000000000u), 4e9, true},
      {QX_TUInt16(0), 0.0, false},     {QX_TBool(true), 1.0, true}, {QX_TBool(false), 0.0, false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.value.AsDouble(), row.asDouble) << row.value.ClassName();
    EXPECT_EQ(row.value.AsBool(), row.asBool) << row.value.ClassName();
  }
  EXPECT_THROW(QX_TAny(QX_TString("1")).AsDouble(), QX_EIllegalCast);
  EXPECT_THROW(QX_TAny(QX_TString("true")).AsBool(), QX_EIllegalCast);
  EXPECT_TRUE(QX_TAny(QX_TDouble(std::numeric_limits<double>::quiet_NaN())).AsBool());
}

TEST(Arrays, LowerBoundIndexingAndBounds) {
  QX_TArray layers(3);
  layers.Append(QX_TString("a"));
  layers.Append(QX_TString("b"));
  EXPECT_EQ(layers.LowerBound(), 3);
  EXPECT_EQ(layers.UpperBound(), 4);
  EXPECT_EQ(layers.Size(), 2);
  EXPECT_EQ(qx_cast<QX_TString>(layers[4], "t", 1), "b");
  EXPECT_THROW(layers[2], QX_EException);
  EXPECT_THROW(layers[5], QX_EException);
  EXPECT_THROW(layers.At(-2147483647 - 1), QX_EException);

  QX_TArray empty(-5);
  EXPECT_EQ(empty.UpperBound(), -6);
  QX_TArray atTop(2147483647);
  atTop.Append(QX_TInt32(1));
  EXPECT_EQ(atTop.UpperBound(), 2147483647);
  EXPECT_THROW(atTop.Append(QX_TInt32(2)), QX_EException);
}

TEST(Strings, ComparisonAndSearch) {
  QX_TString s("Conf");
  EXPECT_TRUE(s == "Conf");
  EXPECT_FALSE(s == "conf");
  EXPECT_EQ(s.CompareWith("CONF", true), 0);
  EXPECT_NE(s.CompareWith("CONF", false), 0);
  EXPECT_TRUE(QX_TString("B") < QX_TString("a")) << "byte-wise ordering";
  EXPECT_TRUE(QX_TString("ab") < QX_TString("abc"));

  QX_TString name("brochure.final.pdf");
  EXPECT_EQ(name.ReverseFind('.'), 14);
  EXPECT_EQ(name.Substring(0, name.ReverseFind('.')), "brochure.final");
  EXPECT_EQ(name.Find("final"), 9);
  EXPECT_EQ(name.Find('x'), QX_TString::npos);
  EXPECT_EQ(name.Substring(100, 5), "");
  EXPECT_EQ(QX_TString("a\\b\\c").Replace('\\', '/'), "a/b/c");
  EXPECT_EQ(QX_TString("<Job>-<job>").ToLower(), "<job>-<job>");
  EXPECT_EQ(QX_TString("xaax").Replace("a", "bb"), "xbbbbx");
}

TEST(Strings, WideTextRoundTrip) {
  QX_TString s("Druckerei M\xC3\xBCller");
  EXPECT_EQ(s.WideText(), L"Druckerei M\u00FCller");
  EXPECT_EQ(QX_TString(s.WideText()), s);
}

TEST(Urls, RulesOfTheHost) {
  struct Row {
    const char* local;
    const char* url;
  };
  const Row rows[] = {
      {"/srv/ipl/plate.ini", "file:///srv/ipl/plate.ini"},
      {"\\\\host\\share\\dir", "file://host/share/dir"},
      {"/srv/qx/fonts\\", "file:///srv/qx/fonts\\"},
  };
  for (const Row& row : rows) {
    const QX_TURL url = QX_TURL::LocalToURL(row.local);
    EXPECT_EQ(url.Text(), row.url);
    EXPECT_EQ(url.LocalName(), row.local);
    EXPECT_EQ(QX_TURL(QX_TString(row.local)).Text(), row.url) << "a path given as text goes through LocalToURL";
  }
  EXPECT_THROW(QX_TURL::LocalToURL("relative/x"), QX_EException);
  EXPECT_THROW(QX_TURL(QX_TString("http://x/y")).LocalName(), QX_EException);
  EXPECT_EQ(QX_TURL(QX_TString("http://x/y")).Text(), "http://x/y");
  EXPECT_THROW(QX_TURL().LocalName(), QX_EException);

  const QX_TURL dir(QX_TString("file:///srv/ipl"));
  EXPECT_EQ(dir.Child("plate.ini").Text(), "file:///srv/ipl/plate.ini");
  EXPECT_EQ(dir.Child("plate.ini").Parent().Text(), "file:///srv/ipl");
  EXPECT_EQ(QX_TURL(QX_TString("file:///srv")).Parent().Text(), "file:///");
  EXPECT_EQ(QX_TURL(QX_TString("file://host/share/x")).Parent().Text(), "file://host/share");
  const QX_TString asText = dir;
  EXPECT_EQ(asText, "file:///srv/ipl");
}

TEST(Iteration, WalksEntriesInInsertionOrder) {
  QX_TTree tree;
  tree.Add("zeta", QX_TInt32(1));
  tree.Add("alpha", QX_TInt32(2));
  tree.Add("zeta", QX_TInt32(3));
  std::vector<std::string> keys;
  for (QX_TIterator it(tree); !it.IsDone(); it.Next()) keys.push_back(it.Key().Str());
  EXPECT_EQ(keys, (std::vector<std::string>{"zeta", "alpha"}));
  EXPECT_EQ(qx_cast<QX_TInt32>(tree["zeta"], "t", 1).Value(), 3);
  EXPECT_TRUE(tree.Remove("zeta"));
  EXPECT_EQ(tree.Entries(), 1);
  EXPECT_EQ(qx_cast<QX_TInt32>(tree["alpha"], "t", 1).Value(), 2);
  QX_TIterator done(tree);
  done.Next();
  EXPECT_THROW(done.Key(), QX_EException);
}

// Small collections are searched in order, large ones through an index by
// key: lookups, replacing, removing and copies agree on both sides of the
// change and across it.
TEST(KeyedCollections, LookupsHoldForSmallAndLargeCollections) {
  for (int size : {1, 15, 16, 17, 40, 1000}) {
    SCOPED_TRACE(size);
    QX_TDict dict;
    for (int i = 0; i < size; ++i) dict.Add(QX_TString("k" + std::to_string(i)), QX_TInt32(i));
    const QX_TDict before(dict);
    dict.Compact();  // shared with `before`: left as it is
    for (int i = 0; i < size; ++i) {
      ASSERT_TRUE(dict.HasKey(QX_TString("k" + std::to_string(i))));
      EXPECT_EQ(qx_cast<QX_TInt32>(dict[QX_TString("k" + std::to_string(i))], "t", 1).Value(), i);
    }
    EXPECT_FALSE(dict.HasKey("K0")) << "keys are compared exactly";
    EXPECT_TRUE(dict[QX_TString("absent")].IsIllegal());

    dict.Add("k0", QX_TString("replaced"));
    EXPECT_EQ(dict.Entries(), size);
    EXPECT_TRUE(dict.Remove("k0"));
    EXPECT_FALSE(dict.Remove("k0"));
    EXPECT_FALSE(dict.HasKey("k0"));
    for (int i = 1; i < size; ++i)
      EXPECT_EQ(qx_cast<QX_TInt32>(dict[QX_TString("k" + std::to_string(i))], "t", 1).Value(), i);
    dict.Add("new", QX_TInt32(-1));
    EXPECT_EQ(dict.Items().back().first, "new");
    EXPECT_EQ(qx_cast<QX_TInt32>(dict["new"], "t", 1).Value(), -1);

    // The copy taken before is untouched.
    EXPECT_EQ(before.Entries(), size);
    EXPECT_EQ(qx_cast<QX_TInt32>(before["k0"], "t", 1).Value(), 0);
    EXPECT_FALSE(before.HasKey("new"));
    dict.Compact();
    EXPECT_EQ(qx_cast<QX_TInt32>(dict["new"], "t", 1).Value(), -1) << "compacting keeps every key findable";
  }
}

}  // namespace
