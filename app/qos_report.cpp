#include <string>

#include "app/config.h"
#include "base/log.h"
#include "app/version.h"
#include "app/vorlan_app.h"
#include "net/http_client.h"

void CVorlanClientApp::ReportQOS(int step, CString tag)
{
    if (hide)
        return;
    // Seconds since start-up in wrapping 32-bit arithmetic, like the stamps themselves.
    const int elapsed =
        static_cast<int>(static_cast<unsigned>(GetLocalTimeSeconds()) - static_cast<unsigned>(qosStartAt));
    // The tag has no key and no separator of its own: it runs into "AGENT:".
    CString text;
    text.Format("QX={G:1;S:%d;W:%d;U:0;N:%s;T:%d;%sAGENT:;OS:;J:%d;V:%s;}", qosStartAt, 0, userId.c_str(), step,
                tag.GetString(), elapsed, appVersion.GetString());
    const CString url = CConfig::GetInstance()->GetValue("qos") + "?data=" + text;
    WriteLog("ReportQOS, url = %s", url.GetString());
    // A report is sent and forgotten: neither the result nor the reply matters to the run.
    if (!g_pHttpClient)
        return;
    std::string response;
    g_pHttpClient->HttpGet(url, response);
}
