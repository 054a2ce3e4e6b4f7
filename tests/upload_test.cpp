// The multipart upload: the exact bytes on the wire, and every failure as a result value.
#include "tests/support/raw_listener.h"

#include <gtest/gtest.h>

#include "net/upload.h"
#include "tests/support/allocation_limit.h"
#include "tests/support/test_support.h"

namespace {

const std::string kBoundary = "----moby-is-overweight-moby-is-overage----";
const std::string kExpectedTail = "\r\n--" + kBoundary +
                                  "\r\nContent-Disposition: form-data; name=\"submit\"\r\n\r\nupload log\r\n--" +
                                  kBoundary + "--\r\n";

std::string ExpectedHead(const std::string& remoteName)
{
    return "--" + kBoundary + "\r\nContent-Disposition: form-data; name=\"logfile\"; filename=\"" + remoteName +
           "\"\r\nContent-Type: text/plain\r\nContent-Transfer-Encoding: binary\r\n\r\n";
}

TEST(MultipartBody, HeaderHeadAndTailAreByteExact)
{
    EXPECT_EQ(42u, kBoundary.size());
    EXPECT_EQ("Content-Type: multipart/form-data; boundary=" + kBoundary + "\r\n",
              MakeRequestHeaders(kUploadBoundary).str());
    // The remote name goes in unchanged, "%" and quotes included.
    for (const std::string name : {"yy_9000__unity.txt", "", "a%d%s\"b.txt", "玩家_shell.txt"}) {
        const CString head = MakePreFileData(kUploadBoundary, name.c_str());
        EXPECT_EQ(ExpectedHead(name), head.str());
        EXPECT_EQ(170u + name.size(), static_cast<size_t>(head.GetLength()));
    }
    EXPECT_EQ(kExpectedTail, MakePostFileData(kUploadBoundary).str());
    EXPECT_EQ(157u, kExpectedTail.size());
}

TEST(UploadFile, TheServerReceivesTheBodyByteForByteAndAnyReplyIsKeptUpTo64KiB)
{
    // A server that answers 500 with more than a caller can use; small enough to sit in the
    // socket's buffers, so the peer never waits on a client that has stopped reading.
    std::string huge(256 << 10, '\0');
    for (size_t i = 0; i < huge.size(); ++i)
        huge[i] = static_cast<char>('a' + i % 26);
    vt::RawListener peer;
    ASSERT_TRUE(peer.Start(vt::RawListener::Mode::Reply,
                           "HTTP/1.0 500 X\r\nContent-Length: " + std::to_string(huge.size()) + "\r\n\r\n" + huge));
    std::string big(3 * 1024 * 1024 + 5, '\0');  // three full transfer buffers and 5 bytes
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 7 + i / 4096);
    const std::string contents[] = {std::string("hello\r\nworld\0binary\xff\n", 22), "", big};
    const std::string names[] = {"yy_9000_10086_unity.txt", "yy_9000__shell.txt", "a%d%s.txt"};
    vt::TempDir dir("upload");
    const std::string path = dir / "output_log.txt";
    for (size_t i = 0; i < 3; ++i) {
        ASSERT_TRUE(vt::WriteFileBytes(path, contents[i]));
        CString response = "earlier";
        EXPECT_EQ(UPLOAD_OK,
                  UploadFile(peer.Url("/upload?kind=log").c_str(), path.c_str(), names[i].c_str(), response));
        EXPECT_TRUE(huge.substr(0, 64 << 10) == response.str()) << response.GetLength() << " bytes";
    }
    // A piece of the reply that cannot be allocated ends the call with a result.
    int result = UPLOAD_OK;
    {
        CString response;
        vt::AllocationLimit limit(16 << 10);
        result = UploadFile(peer.Url("/upload?kind=log").c_str(), path.c_str(), "n", response);
    }
    EXPECT_EQ(UPLOAD_TRANSFER_FAILED, result);

    const std::vector<std::string> received = peer.Received();
    ASSERT_EQ(4u, received.size());
    for (size_t i = 0; i < 3; ++i) {
        const vt::RawRequest request(received[i]);
        EXPECT_EQ(0u, request.head.find("POST /upload?kind=log HTTP/1.0\r\n")) << request.head;
        for (const std::string& header : {"Content-Type: multipart/form-data; boundary=" + kBoundary,
                                          "Content-Length: " + std::to_string(request.body.size())})
            EXPECT_NE(std::string::npos, request.head.find("\r\n" + header + "\r\n")) << request.head;
        EXPECT_TRUE(ExpectedHead(names[i]) + contents[i] + kExpectedTail == request.body) << "body of upload " << i;
    }
    // An empty file: the part head followed at once by the closing text.
    EXPECT_EQ(327u + names[1].size(), vt::RawRequest(received[1]).body.size());
}

TEST(UploadFile, FailuresAreResultValues)
{
    vt::TempDir dir("upload");
    const std::string path = dir / "log.log";
    ASSERT_TRUE(vt::WriteFileBytes(path, "secret log"));
    vt::RawListener peer;
    ASSERT_TRUE(peer.Start(vt::RawListener::Mode::Reply));
    const CString url = peer.Url("/upload").c_str();

    // Nothing to send, or nowhere to send it: the response is left as it was.
    CString response = "earlier";
    EXPECT_EQ(UPLOAD_NO_INPUT, UploadFile("", path.c_str(), "n.txt", response));
    EXPECT_EQ(UPLOAD_NO_INPUT, UploadFile(url, "", "n.txt", response));
    EXPECT_EQ(UPLOAD_BAD_URL, UploadFile("127.0.0.1/upload", path.c_str(), "n.txt", response));
    EXPECT_EQ("earlier", response.str());

    // A missing file, or one that another program holds open for writing.
    EXPECT_EQ(UPLOAD_FILE_UNREADABLE, UploadFile(url, (dir / "missing.log").c_str(), "n.txt", response));
    EXPECT_EQ("", response.str());
    HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);
    response = "earlier";
    EXPECT_EQ(UPLOAD_FILE_UNREADABLE, UploadFile(url, path.c_str(), "n.txt", response));
    EXPECT_EQ("", response.str());
    CloseHandle(writer);

    // Nobody listening, or no TLS server behind an https URL.
    const std::string refused = "http://127.0.0.1:" + std::to_string(vt::UnusedPort()) + "/upload";
    for (const std::string& to : {refused, peer.Url("/upload", "https")}) {
        response = "earlier";
        EXPECT_EQ(UPLOAD_TRANSFER_FAILED, UploadFile(to.c_str(), path.c_str(), "n.txt", response)) << to;
        EXPECT_EQ("", response.str());
    }
    // The peer saw TLS hellos only: none of the failures before sent anything, and the
    // log never went out in clear text.
    ASSERT_FALSE(peer.Received().empty());
    for (const std::string& hello : peer.Received()) {
        EXPECT_EQ("\x16", hello.substr(0, 1));
        EXPECT_EQ(std::string::npos, hello.find("secret log"));
    }
}

}  // namespace
