#include "platform/HttpErrors.h"
#include "platform/HttpUrl.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

struct UrlCase {
    std::string url;
    std::string host;
    std::uint16_t port;
    std::string path;
};

class ValidUrl : public testing::TestWithParam<UrlCase> {};

TEST_P(ValidUrl, SplitsIntoHostPortAndPath) {
    const HttpUrl url = ParseHttpUrl(GetParam().url);
    EXPECT_EQ(url.host, GetParam().host);
    EXPECT_EQ(url.port, GetParam().port);
    EXPECT_EQ(url.path, GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(Forms, ValidUrl,
                         testing::Values(UrlCase{"http://example.com/a/b.txt", "example.com", 80, "/a/b.txt"},
                                         UrlCase{"http://example.com:8080/a/b.txt", "example.com", 8080,
                                                 "/a/b.txt"},
                                         UrlCase{"http://example.com", "example.com", 80, "/"},
                                         UrlCase{"http://example.com:8080", "example.com", 8080, "/"},
                                         UrlCase{"HTTP://Example.COM/", "Example.COM", 80, "/"},
                                         UrlCase{"http://h/dir name/\x83\x65\x83\x58\x83\x67.txt", "h", 80,
                                                 "/dir name/\x83\x65\x83\x58\x83\x67.txt"},
                                         UrlCase{"http://h/a%20b?x=1#top", "h", 80, "/a%20b?x=1#top"},
                                         UrlCase{"http://h:65535/x", "h", 65535, "/x"}));

class RefusedUrl : public testing::TestWithParam<std::string> {};

TEST_P(RefusedUrl, RaisesUrlError) {
    EXPECT_THROW(ParseHttpUrl(GetParam()), UrlError);
}

INSTANTIATE_TEST_SUITE_P(Forms, RefusedUrl,
                         testing::Values("", "https://example.com/a", "HTTPS://example.com/",
                                         "ftp://example.com/", "example.com/a", "http://", "http:///path",
                                         "http://h:/x", "http://h:80a/x", "http://h:abc/", "http://h:0/",
                                         "http://h:65536/", "http://h:-1/", "http://h:123456/"));

TEST(GetRequest, IsTheRequestLineTheHostLineAndTheEmptyLine) {
    EXPECT_EQ(GetRequest(ParseHttpUrl("http://example.com:8080/a b/\x83\x65.txt")),
              "GET /a b/\x83\x65.txt HTTP/1.0\r\nHost: example.com\r\n\r\n");
    EXPECT_EQ(GetRequest(ParseHttpUrl("http://example.com")), "GET / HTTP/1.0\r\nHost: example.com\r\n\r\n");
}

} // namespace
} // namespace qx
