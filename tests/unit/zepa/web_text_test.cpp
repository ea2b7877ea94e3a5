// Text helpers, content types and client URLs of the web server library.
#include <gtest/gtest.h>

#include "platform/text/url_decoding.h"
#include "platform/zepa/client_url.h"
#include "platform/zepa/extensions/content_types.h"
#include "platform/zepa/web_text.h"

using namespace orla;

TEST(WebText, EscapesEveryHtmlSpecialCharacter) {
  EXPECT_EQ(WebText::HtmlEscape("<a href=\"x\">Tom & 'Jerry'</a>"),
            "&lt;a href=&quot;x&quot;&gt;Tom &amp; &#39;Jerry&#39;&lt;/a&gt;");
  EXPECT_EQ(WebText::HtmlEscape(""), "");
}

TEST(WebText, DecodesUrlsAndKeepsMalformedPercents) {
  EXPECT_EQ(UrlDecoding::Decode("%41%2b+b", UrlDecoding::Plus::kIsSpace), "A+ b");
  EXPECT_EQ(UrlDecoding::Decode("a+b", UrlDecoding::Plus::kIsPlus), "a+b");
  EXPECT_EQ(UrlDecoding::Decode("100%", UrlDecoding::Plus::kIsSpace), "100%");
  EXPECT_EQ(UrlDecoding::Decode("%zz%4", UrlDecoding::Plus::kIsSpace), "%zz%4");
  EXPECT_EQ(WebText::UrlEncode("/KOR/a b?c=é"), "%2FKOR%2Fa%20b%3Fc%3D%C3%A9");
}

TEST(WebText, ReadsFormFieldsAndCookies) {
  std::string value;
  ASSERT_TRUE(WebText::FormField("user=admin&password=a%26b+c&return=%2FKOR%2F", "password", &value));
  EXPECT_EQ(value, "a&b c");
  ASSERT_TRUE(WebText::FormField("a=&b=1", "a", &value));
  EXPECT_EQ(value, "");
  EXPECT_FALSE(WebText::FormField("a=1", "b", &value));
  ASSERT_TRUE(WebText::CookieValue("x=1; ZEPASESSION=abc; y=\"2\"", "ZEPASESSION", &value));
  EXPECT_EQ(value, "abc");
  ASSERT_TRUE(WebText::CookieValue("y=\"2\"", "y", &value));
  EXPECT_EQ(value, "2");
  EXPECT_FALSE(WebText::CookieValue("XZEPASESSION=abc", "ZEPASESSION", &value));
}

TEST(WebText, HeaderLinesRejectMalformedNamesAndInjection) {
  int rejected = 0;
  const auto lines = WebText::ParseHeaderLines(
      "VESTRA_MACHINE: 10.1.2.3\r\nVESTRA_SETCOMMUNITY: \r\nno colon\r\nBad Name: x\r\n"
      "X-Ctl: a\x01" "b\r\nLast:  spaced value \n\r\n",
      &rejected);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], std::make_pair(std::string("VESTRA_MACHINE"), std::string("10.1.2.3")));
  EXPECT_EQ(lines[1], std::make_pair(std::string("VESTRA_SETCOMMUNITY"), std::string("")));
  EXPECT_EQ(lines[2], std::make_pair(std::string("Last"), std::string("spaced value")));
  EXPECT_EQ(rejected, 3);
}

TEST(WebText, LoginReturnPathsStayLocal) {
  EXPECT_EQ(WebText::SafeLocalPath("/KOR/elements.html?x=1"), "/KOR/elements.html?x=1");
  EXPECT_EQ(WebText::SafeLocalPath("//attacker.example/"), "/");
  EXPECT_EQ(WebText::SafeLocalPath("/\\attacker.example/"), "/");
  EXPECT_EQ(WebText::SafeLocalPath("https://attacker.example/"), "/");
  EXPECT_EQ(WebText::SafeLocalPath("/KOR/\r\nSet-Cookie: x"), "/");
  EXPECT_EQ(WebText::SafeLocalPath(""), "/");
}

TEST(ContentTypes, ChoosesByExtensionIgnoringCase) {
  EXPECT_EQ(ContentTypes::ForPath("/a/KOR/default.htm"), "text/html");
  EXPECT_EQ(ContentTypes::ForPath("/a/menu.JS"), "text/javascript");
  EXPECT_EQ(ContentTypes::ForPath("/a/warningwhite.GIF"), "image/gif");
  EXPECT_EQ(ContentTypes::ForPath("/a/orla.css"), "text/css");
  EXPECT_EQ(ContentTypes::ForPath("/a/kor.xml"), "text/xml");
  EXPECT_EQ(ContentTypes::ForPath("/a.dir/noextension"), "application/octet-stream");
  EXPECT_EQ(ContentTypes::ForPath("/a/file.unknown"), "application/octet-stream");
}

TEST(ClientUrl, TakesAbsoluteUrlsApart) {
  ClientUrl url;
  ASSERT_TRUE(ClientUrl::Parse("https://localhost:2381/webagent/Fibre/status.html?x=1", &url));
  EXPECT_TRUE(url.https);
  EXPECT_EQ(url.host, "localhost");
  EXPECT_EQ(url.port, 2381);
  EXPECT_EQ(url.target, "/webagent/Fibre/status.html?x=1");
  EXPECT_EQ(url.Origin(), "https://localhost:2381");
  ASSERT_TRUE(ClientUrl::Parse("HTTP://10.1.2.3", &url));
  EXPECT_FALSE(url.https);
  EXPECT_EQ(url.port, 80);
  EXPECT_EQ(url.target, "/");
  EXPECT_EQ(url.Origin(), "http://10.1.2.3");
  ASSERT_TRUE(ClientUrl::Parse("https://[::1]:8443?q", &url));
  EXPECT_EQ(url.host, "::1");
  EXPECT_EQ(url.target, "/?q");
  EXPECT_EQ(url.Origin(), "https://[::1]:8443");

  for (const char* bad : {"ftp://host/", "https://", "https://user@host/", "https://host:0/", "https://host:65536/",
                          "https://host:12a/", "https://ho st/", "https://host/#frag", "https://ho\nst/",
                          "https://[::1/", "/relative"}) {
    EXPECT_FALSE(ClientUrl::Parse(bad, &url)) << bad;
  }
}

TEST(ClientUrl, EncodesUnsafeBytesOfThePathAndQuery) {
  struct Case {
    const char* url;
    const char* target;
  };
  const Case cases[] = {
      {"https://host/a b", "/a%20b"},
      {"https://host/x?name=tape lib&x=\"<>\"", "/x?name=tape%20lib&x=%22%3C%3E%22"},
      {"https://host/a%20b%zz%", "/a%20b%25zz%25"},  // escapes kept, stray "%" encoded
      {"https://host/p?q=\r\nX-Injected: 1", "/p?q=%0D%0AX-Injected:%201"},
      {"https://host/\xc3\xa9{|}", "/%C3%A9%7B%7C%7D"},
  };
  for (const Case& c : cases) {
    ClientUrl url;
    ASSERT_TRUE(ClientUrl::Parse(c.url, &url)) << c.url;
    EXPECT_EQ(url.target, c.target) << c.url;
  }
}
