// The multipart upload: the exact bytes on the wire, what a web server makes of
// them, and every failure as a result value.
#include "tests/support/raw_listener.h"
#include "tests/support/test_server.h"

#include <gtest/gtest.h>

#include <mutex>

#include "net/upload.h"
#include "tests/support/test_support.h"

namespace {

const std::string kBoundary = "----moby-is-overweight-moby-is-overage----";

std::string ExpectedHead(const std::string& remoteName)
{
    return "--" + kBoundary + "\r\n" + "Content-Disposition: form-data; name=\"logfile\"; filename=\"" + remoteName +
           "\"\r\n" + "Content-Type: text/plain\r\n" + "Content-Transfer-Encoding: binary\r\n" + "\r\n";
}

std::string ExpectedTail()
{
    return "\r\n--" + kBoundary + "\r\n" + "Content-Disposition: form-data; name=\"submit\"\r\n" + "\r\n" +
           "upload log\r\n" + "--" + kBoundary + "--\r\n";
}

// One request as the raw listener got it.
struct RawRequest {
    std::string head;  // request line and headers, each ending with CR LF
    std::string body;

    explicit RawRequest(const std::string& bytes)
    {
        const size_t end = bytes.find("\r\n\r\n");
        head = bytes.substr(0, end + 2);
        body = end == std::string::npos ? std::string() : bytes.substr(end + 4);
    }
    std::string Header(const std::string& name) const
    {
        for (size_t start = head.find("\r\n") + 2; start < head.size();) {
            const size_t end = head.find("\r\n", start);
            const std::string line = head.substr(start, end - start);
            if (_strnicmp(line.c_str(), (name + ": ").c_str(), name.size() + 2) == 0)
                return line.substr(name.size() + 2);
            start = end + 2;
        }
        return std::string();
    }
};

TEST(MultipartBody, HeaderHeadAndTailAreByteExact)
{
    EXPECT_EQ(42u, kBoundary.size());
    EXPECT_STREQ(kBoundary.c_str(), kUploadBoundary);
    EXPECT_EQ("Content-Type: multipart/form-data; boundary=" + kBoundary + "\r\n",
              MakeRequestHeaders(kUploadBoundary).str());

    // The remote name goes in unchanged, "%" and quotes included.
    for (const std::string name : {"yy_9000__unity.txt", "", "a%d%s\"b.txt", "玩家_shell.txt"}) {
        const CString head = MakePreFileData(kUploadBoundary, name.c_str());
        EXPECT_EQ(ExpectedHead(name), head.str());
        EXPECT_EQ(170u + name.size(), static_cast<size_t>(head.GetLength()));
    }
    EXPECT_EQ(ExpectedTail(), MakePostFileData(kUploadBoundary).str());
    EXPECT_EQ(157, MakePostFileData(kUploadBoundary).GetLength());
}

TEST(UploadFile, TheServerReceivesTheBodyByteForByte)
{
    vt::TempDir dir("upload");
    vt::RawListener peer;
    ASSERT_TRUE(peer.Start(vt::RawListener::Mode::Reply, "HTTP/1.0 200 OK\r\nContent-Length: 7\r\n\r\nstored!"));

    const std::string small("hello\r\nworld\0binary\xff\n", 22);
    std::string big(3 * 1024 * 1024 + 5, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 7 + i / 4096);
    const std::string contents[] = {small, "", big};
    const std::string names[] = {"yy_9000_10086_unity.txt", "yy_9000__shell.txt", "big.txt"};

    for (size_t i = 0; i < 3; ++i) {
        const std::string path = dir / ("file" + std::to_string(i));
        ASSERT_TRUE(vt::WriteFileBytes(path, contents[i]));
        CString response = "earlier";
        EXPECT_EQ(UPLOAD_OK,
                  UploadFile(peer.Url("/upload?kind=log").c_str(), path.c_str(), names[i].c_str(), response));
        EXPECT_EQ("stored!", response.str());
    }

    const std::vector<std::string> received = peer.Received();
    ASSERT_EQ(3u, received.size());
    for (size_t i = 0; i < 3; ++i) {
        const RawRequest request(received[i]);
        EXPECT_EQ(0u, request.head.find("POST /upload?kind=log HTTP/1.0\r\n")) << request.head;
        EXPECT_EQ("multipart/form-data; boundary=" + kBoundary, request.Header("Content-Type"));
        EXPECT_EQ(std::to_string(request.body.size()), request.Header("Content-Length"));
        const std::string expected = ExpectedHead(names[i]) + contents[i] + ExpectedTail();
        EXPECT_EQ(expected.size(), request.body.size());
        EXPECT_TRUE(expected == request.body) << "body of upload " << i;
    }
    // An empty file: the part head followed at once by the closing text.
    EXPECT_EQ(327u + names[1].size(), RawRequest(received[1]).body.size());
}

TEST(UploadFile, AWebServerReadsTheFormAndAnyStatusGivesItsReply)
{
    vt::TempDir dir("upload");
    const std::string path = dir / "output_log.txt";
    ASSERT_TRUE(vt::WriteFileBytes(path, "line one\r\nline two\r\n"));

    std::mutex mutex;
    httplib::MultipartFormDataMap files;
    vt::TestServer server;
    server.server().Post("/upload", [&](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard<std::mutex> lock(mutex);
        files = req.files;
        res.status = 500;
        res.set_content("server broke", "text/plain");
    });
    ASSERT_TRUE(server.Start());

    CString response;
    ASSERT_EQ(UPLOAD_OK, UploadFile(server.Url("/upload").c_str(), path.c_str(), "a%d%s.txt", response));
    EXPECT_EQ("server broke", response.str());
    std::lock_guard<std::mutex> lock(mutex);
    ASSERT_EQ(1u, files.count("logfile"));
    EXPECT_EQ("a%d%s.txt", files.find("logfile")->second.filename);
    EXPECT_EQ("text/plain", files.find("logfile")->second.content_type);
    EXPECT_EQ("line one\r\nline two\r\n", files.find("logfile")->second.content);
    ASSERT_EQ(1u, files.count("submit"));
    EXPECT_EQ("upload log", files.find("submit")->second.content);
}

TEST(UploadFile, FailuresAreResultValues)
{
    vt::TempDir dir("upload");
    const std::string path = dir / "log.log";
    ASSERT_TRUE(vt::WriteFileBytes(path, "log"));
    vt::RawListener peer;
    ASSERT_TRUE(peer.Start(vt::RawListener::Mode::Reply));
    const CString url = peer.Url("/upload").c_str();

    // Nothing to send, or nowhere to send it: the response is left as it was.
    CString response = "earlier";
    EXPECT_EQ(UPLOAD_NO_INPUT, UploadFile("", path.c_str(), "n.txt", response));
    EXPECT_EQ(UPLOAD_NO_INPUT, UploadFile(url, "", "n.txt", response));
    EXPECT_EQ(UPLOAD_BAD_URL, UploadFile("nohost", path.c_str(), "n.txt", response));
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

    // None of those reached the server: the upload after them is the first it sees.
    ASSERT_EQ(UPLOAD_OK, UploadFile(url, path.c_str(), "n.txt", response));
    ASSERT_EQ(1u, peer.Received().size());

    // Nobody listening.
    const std::string refused = "http://127.0.0.1:" + std::to_string(vt::UnusedPort()) + "/upload";
    response = "earlier";
    EXPECT_EQ(UPLOAD_TRANSFER_FAILED, UploadFile(refused.c_str(), path.c_str(), "n.txt", response));
    EXPECT_EQ("", response.str());
}

TEST(UploadFile, HttpsGoesOutEncrypted)
{
    // The log never travels in clear text to an https URL: a plain peer sees a TLS hello.
    vt::TempDir dir("upload");
    const std::string path = dir / "log.log";
    ASSERT_TRUE(vt::WriteFileBytes(path, "secret log"));
    vt::RawListener peer;
    ASSERT_TRUE(peer.Start(vt::RawListener::Mode::Reply));
    CString response;
    EXPECT_EQ(UPLOAD_TRANSFER_FAILED, UploadFile(peer.Url("/upload", "https").c_str(), path.c_str(), "n", response));
    const std::vector<std::string> received = peer.Received();
    ASSERT_FALSE(received.empty());
    ASSERT_FALSE(received[0].empty());
    EXPECT_EQ(0x16, received[0][0]);  // TLS handshake record
    EXPECT_EQ(std::string::npos, received[0].find("secret log"));
}

}  // namespace
