#include "model/text_macros.h"

#include <gtest/gtest.h>

#include <string>

namespace viv {
namespace {

TTextMacroValues Beach() {
  TTextMacroValues values;
  values.SlideIndex = 3;
  values.SlidesCount = 12;
  values.HasMainPicture = true;
  values.MainWidth = 1600;
  values.MainHeight = 1200;
  values.MainFileName = "C:\\Photos\\Trip 2019\\beach.day.jpg";
  values.Metadata.ExifComment = "Sunset";
  values.Metadata.ExifDescription = "At the beach";
  values.Metadata.ExifDateTime = "2019:07:14 18:05:09";
  values.Metadata.Iptc = {{"City", "Nice"}, {"Country", "France"}, {"CaptionWriter", "Ann"}};
  return values;
}

TEST(TextMacros, Expansion) {
  struct TCase {
    std::string Line, Expanded;
  };
  const TCase kCases[] = {
      {"Slide <%SlideIndex%> of <%SlidesCount%>", "Slide 3 of 12"},
      {"<%SLIDEINDEX%>/<%slidescount%>", "3/12"},
      {"<%MainImg.Width%>x<%MAINIMG.HEIGHT%>", "1600x1200"},
      {"<%MainImg.Exif.Comment%>: <%MainImg.Exif.Description%>", "Sunset: At the beach"},
      {"<%MainImg.PathNameExt%>", "C:\\Photos\\Trip 2019\\beach.day.jpg"},
      {"<%MainImg.FileName%>", "beach.day"},
      {"<%MainImg.PathName%>", "C:\\Photos\\Trip 2019\\beach.day"},
      {"<%mainimg.filenameext%>", "beach.day.jpg"},
      {"<%MainImg.FolderPath%>", "C:\\Photos\\Trip 2019\\"},
      {"<%MainImg.FolderName%>", "Trip 2019"},
      {"<%MainImg.Exif.Date%> <%MainImg.Exif.Time%>", "2019-07-14 18:05:09"},
      {"<%MainImg.IPTC.City%>, <%mainimg.iptc.COUNTRY%> (<%MainImg.IPTC.CaptionWriter%>)",
       "Nice, France (Ann)"},
      {"[<%MainImg.IPTC.Headline%>]", "[]"},
      {"<%Unknown%> and <%SlideIndex", "<%Unknown%> and <%SlideIndex"},
      {"<<%SlideIndex%>%>", "<3%>"},
      {"100% of <%SlideIndex%>", "100% of 3"},
      {"<%%>", "<%%>"},
      // An empty result is one blank.
      {"", " "},
      {"<%MainImg.IPTC.Copyright%><%MainImg.IPTC.Source%>", " "},
  };
  const TTextMacroValues values = Beach();
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Line);
    EXPECT_EQ(ExpandTextMacros(c.Line, values), c.Expanded);
  }
}

TEST(TextMacros, StepsInTheirOrder) {
  TTextMacroValues values = Beach();
  // A first-step value is searched by the second step, not by the first.
  values.Metadata.ExifComment = "<%MainImg.FileName%> <%SlideIndex%>";
  EXPECT_EQ(ExpandTextMacros("<%MainImg.Exif.Comment%>", values), "beach.day <%SlideIndex%>");
  // Nor is a second-step value searched again.
  values.MainFileName = "C:\\<%MainImg.FileNameExt%>.jpg";
  EXPECT_EQ(ExpandTextMacros("<%MainImg.FileName%>", values), "<%MainImg.FileNameExt%>");
}

TEST(TextMacros, MissingValues) {
  TTextMacroValues values = Beach();
  values.HasMainPicture = false;
  EXPECT_EQ(ExpandTextMacros("<%SlideIndex%>|<%MainImg.Width%>|<%MainImg.FileName%>|"
                             "<%MainImg.Exif.Date%>|<%MainImg.IPTC.City%>",
                             values),
            "3||||");
  EXPECT_EQ(ExpandTextMacros("<%MainImg.FolderPath%><%MainImg.Exif.Comment%>", values), " ");
}

TEST(TextMacros, ExifDateAndTime) {
  struct TCase {
    std::string Stored, Date, Time;
  };
  const TCase kCases[] = {
      {"2019:07:14 18:05:09", "2019-07-14", "18:05:09"},
      {std::string("2001:01:31 00:00:00\0\0", 21), "2001-01-31", "00:00:00"},
      {"2001:01:31 00:00:60  ", "2001-01-31", "00:00:60"},
      {"0000:00:00 00:00:00", "", ""},
      {"2019:13:01 10:00:00", "", ""},
      {"2019:07:32 10:00:00", "", ""},
      {"2019:07:14 24:00:00", "", ""},
      {"2019-07-14 18:05:09", "", ""},
      {"2019:07:14", "", ""},
      {"2019:07:14 18:05:09x", "", ""},
      {"", "", ""},
  };
  TTextMacroValues values = Beach();
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Stored);
    values.Metadata.ExifDateTime = c.Stored;
    EXPECT_EQ(ExpandTextMacros("<%MainImg.Exif.Date%>/<%MainImg.Exif.Time%>", values),
              c.Date + "/" + c.Time);
  }
}

TEST(TextMacros, FileNameParts) {
  struct TCase {
    std::string FileName;
    std::string Name, PathName, NameExt, FolderPath, FolderName;
  };
  const TCase kCases[] = {
      {"x.jpg", "x", "x", "x.jpg", "", ""},
      {"C:\\x.jpg", "x", "C:\\x", "x.jpg", "C:\\", "C:"},
      {"images/a.b/c", "c", "images/a.b/c", "c", "images/a.b/", "a.b"},
      {"pics\\sub/y.png", "y", "pics\\sub/y", "y.png", "pics\\sub/", "sub"},
      {"", "", "", "", "", ""},
  };
  TTextMacroValues values = Beach();
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.FileName);
    values.MainFileName = c.FileName;
    EXPECT_EQ(
        ExpandTextMacros("<%MainImg.FileName%>|<%MainImg.PathName%>|<%MainImg.FileNameExt%>|"
                         "<%MainImg.FolderPath%>|<%MainImg.FolderName%>",
                         values),
        c.Name + "|" + c.PathName + "|" + c.NameExt + "|" + c.FolderPath + "|" + c.FolderName);
  }
}

}  // namespace
}  // namespace viv
