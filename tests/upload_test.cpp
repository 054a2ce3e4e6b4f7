// The multipart upload: the exact bytes on the wire, and every failure as a result value.
#include "tests/support/raw_listener.h"

#include <gtest/gtest.h>

#include "net/upload.h"
#include "tests/support/allocation_limit.h"
#include "tests/support/test_support.h"

namespace {
const std::string kBoundary = "----moby-is-overweight-moby-is-overage----";

std::string ExpectedBody(const std::string& remoteName, const std::string& content)
{
    return "--" + kBoundary + "\r\nContent-Disposition: form-data; name=\"logfile\"; filename=\"" + remoteName +
           "\"\r\nContent-Type: text/plain\r\nContent-Transfer-Encoding: binary\r\n\r\n" + content + "\r\n--" +
           kBoundary + "\r\nContent-Disposition: form-data; name=\"submit\"\r\n\r\nupload log\r\n--" + kBoundary +
           "--\r\n";
}
}  // namespace

// The body byte for byte, any reply kept up to 64 KiB, and every failure as a result value.
TEST(UploadFile, TheServerReceivesTheBodyByteForByteAndFailuresAreResultValues)
{
    // A reply of more than a caller can use; small enough to sit in the socket's buffers,
    // so the peer never waits on a client that has stopped reading.
    const std::string huge = vt::Letters(256 << 10);
    vt::RawListener peer;
    ASSERT_TRUE(peer.Start(vt::RawListener::Mode::Reply,
                           "HTTP/1.0 500 X\r\nContent-Length: " + std::to_string(huge.size()) + "\r\n\r\n" + huge));
    // The remote name goes in unchanged, "%" and quotes included; the big file is three full
    // transfer buffers and 5 bytes.
    const std::pair<std::string, std::string> uploads[] = {
        {"玩家_unity.txt", std::string("hello\r\nworld\0binary\xff\n", 22)},
        {"yy_9000__shell.txt", ""},
        {"a%d%s\"b.txt", vt::Letters(3 * 1024 * 1024 + 5)},
    };
    vt::TempDir dir("upload");
    const std::string path = dir / "output_log.txt", url = peer.Url("/upload?kind=log");
    for (const auto& [name, content] : uploads) {
        ASSERT_TRUE(vt::WriteFileBytes(path, content));
        CString response = "earlier";
        ASSERT_EQ(UPLOAD_OK, UploadFile(url.c_str(), path.c_str(), name.c_str(), response));
        EXPECT_TRUE(huge.substr(0, 64 << 10) == response.str()) << response.GetLength() << " bytes";
        const std::string request = peer.Received().back();
        const size_t headEnd = request.find("\r\n\r\n") + 2;  // the empty line
        EXPECT_EQ(0u, request.find("POST /upload?kind=log HTTP/1.0\r\n")) << request.substr(0, headEnd);
        EXPECT_LT(request.find("\r\nContent-Type: multipart/form-data; boundary=" + kBoundary), headEnd);
        EXPECT_TRUE(ExpectedBody(name, content) == request.substr(headEnd + 2)) << name;
    }
    // A piece of the reply that cannot be allocated ends the call with a result.
    int result = UPLOAD_OK;
    {
        CString response;
        vt::AllocationLimit limit(16 << 10);
        result = UploadFile(url.c_str(), path.c_str(), "n", response);
    }
    EXPECT_EQ(UPLOAD_TRANSFER_FAILED, result);

    const std::string held = dir / "held.log";
    ASSERT_TRUE(vt::WriteFileBytes(held, "secret log") && vt::WriteFileBytes(path, "secret log"));
    // Another program holds the file open for writing.
    HANDLE writer = CreateFileA(held.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);
    const struct {
        std::string url, file;
        int result;
    } cases[] = {
        {"", path, UPLOAD_NO_INPUT},
        {url, "", UPLOAD_NO_INPUT},
        {"127.0.0.1/upload", path, UPLOAD_BAD_URL},
        {url, dir / "missing.log", UPLOAD_FILE_UNREADABLE},
        {url, held, UPLOAD_FILE_UNREADABLE},
        {"http://127.0.0.1:" + std::to_string(vt::UnusedPort()) + "/upload", path, UPLOAD_TRANSFER_FAILED},
        {peer.Url("/upload", "https"), path, UPLOAD_TRANSFER_FAILED},  // no TLS server behind it
    };
    const size_t sentBefore = peer.Received().size();
    for (const auto& c : cases) {
        CString response = "earlier";
        EXPECT_EQ(c.result, UploadFile(c.url.c_str(), c.file.c_str(), "n.txt", response)) << c.url << " " << c.file;
        // Nothing to send, or nowhere to send it, leaves the response as it was.
        EXPECT_EQ(c.result == UPLOAD_NO_INPUT || c.result == UPLOAD_BAD_URL ? "earlier" : "", response.str());
    }
    CloseHandle(writer);
    // The peer saw TLS hellos only: none of the failures before sent anything, and the
    // log never went out in clear text.
    const std::vector<std::string> hellos = peer.Received();
    ASSERT_GT(hellos.size(), sentBefore);
    for (size_t i = sentBefore; i < hellos.size(); ++i)
        EXPECT_TRUE(hellos[i].substr(0, 1) == "\x16" && hellos[i].find("secret log") == std::string::npos);
}

// The reply's status is not read, and neither is whether the server took the body: a server
// that refuses the request on its head alone, reading none of the body, gives 0 with its
// page, as long as the body could be written (here the connection stays open for it).
TEST(UploadFile, AnAnswerCountsWhetherOrNotTheServerReadTheBody)
{
    const std::string page = "<title>Error response</title>Unsupported method ('POST')";
    vt::RawListener peer;
    ASSERT_TRUE(peer.Start(vt::RawListener::Mode::ReplyToHead,
                           "HTTP/1.0 501 Unsupported method\r\nContent-Length: " + std::to_string(page.size()) +
                               "\r\n\r\n" + page));
    vt::TempDir dir("upload");
    const std::string path = dir / "log.log";
    ASSERT_TRUE(vt::WriteFileBytes(path, "a small log\r\n"));
    CString response;
    EXPECT_EQ(UPLOAD_OK, UploadFile(peer.Url("/upload").c_str(), path.c_str(), "yy_1_2_shell.txt", response));
    EXPECT_EQ(page, response.str());
    const std::vector<std::string> seen = peer.Received();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(0u, seen[0].find("POST /upload HTTP/1.0\r\n"));
}
