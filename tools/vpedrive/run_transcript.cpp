#include "tools/vpedrive/run_transcript.h"

#include "tools/vpedrive/json_text.h"

namespace Corvinex {
namespace Vpedrive {

namespace {

// Exit codes from here up are exception codes (a crash), shown in hex as well.
const DWORD kExceptionCodeFloor = 0xC0000000u;

std::string BoxesJson(const std::vector<Driver::SeenBox>& boxes) {
    std::string json = "[";
    for (size_t i = 0; i < boxes.size(); ++i) {
        if (i > 0)
            json += ",";
        json += CJsonObject().Add("caption", boxes[i].caption).Add("text", boxes[i].text).Text();
    }
    return json + "]";
}

std::wstring Indent(const std::wstring& text) {
    std::wstring indented;
    for (wchar_t ch : text) {
        indented += ch;
        if (ch == L'\n')
            indented += L"    ";
    }
    return indented;
}

} // namespace

std::wstring HexCode(DWORD value) {
    wchar_t text[16];
    wsprintfW(text, L"0x%08lX", value);
    return text;
}

void CTranscript::Started(const std::wstring& harness, const std::wstring& engine,
                          const std::wstring& arguments) {
    if (m_json) {
        m_out.Line(CJsonObject()
                       .Add("event", std::wstring(L"start"))
                       .Add("harness", harness)
                       .Add("engine", engine)
                       .Add("arguments", arguments)
                       .Text());
        return;
    }
    m_out.Line(L"harness: " + harness);
    m_out.Line(L"engine:  " + (engine.empty() ? std::wstring(L"(none)") : engine));
    if (!arguments.empty())
        m_out.Line(L"command line: " + arguments);
}

void CTranscript::Step(const wchar_t* event, const std::wstring& name, int id,
                       const Driver::CommandResult& result, const std::wstring& title,
                       bool withTitle) {
    if (m_json) {
        CJsonObject line;
        line.Add("event", std::wstring(event));
        if (id >= 0)
            line.Add("command", name).Add("id", static_cast<long long>(id));
        line.Add("outcome", std::wstring(Driver::WaitOutcomeName(result.outcome)))
            .AddRaw("boxes", BoxesJson(result.boxes));
        if (withTitle)
            line.Add("title", title);
        m_out.Line(line.Text());
        return;
    }
    if (id >= 0)
        m_out.Line(L"> " + name + L" (" + std::to_wstring(id) + L")");
    else
        m_out.Line(L"> " + name);
    for (const Driver::SeenBox& box : result.boxes)
        m_out.Line(L"  box \"" + box.caption + L"\": " + Indent(box.text));
    if (result.outcome != Driver::WaitOutcome::Finished)
        m_out.Line(L"  (" + std::wstring(Driver::WaitOutcomeName(result.outcome)) + L")");
    if (withTitle)
        m_out.Line(L"  title: " + title);
}

void CTranscript::LogLines(const std::wstring& path, const std::vector<std::wstring>& lines,
                           bool folderExists) {
    if (m_json) {
        std::string array = "[";
        for (size_t i = 0; i < lines.size(); ++i)
            array += (i > 0 ? "," : "") + JsonString(lines[i]);
        m_out.Line(CJsonObject()
                       .Add("event", std::wstring(L"checklog"))
                       .Add("path", path)
                       .Add("folder_exists", folderExists)
                       .AddRaw("lines", array + "]")
                       .Text());
        return;
    }
    m_out.Line(L"check log: " + path);
    if (!folderExists)
        m_out.Line(L"  (its folder does not exist, so the harness could write nothing)");
    else if (lines.empty())
        m_out.Line(L"  (no lines were added)");
    for (const std::wstring& line : lines)
        m_out.Line(L"  " + line);
}

void CTranscript::Ended(const RunEnd& end) {
    if (m_json) {
        CJsonObject line;
        line.Add("event", std::wstring(L"end")).Add("how", end.how);
        if (end.exitCodeKnown)
            line.Add("exit_code", static_cast<long long>(end.exitCode));
        if (!end.command.empty())
            line.Add("command", end.command);
        if (!end.stuckIn.empty())
            line.Add("stuck_in", end.stuckIn);
        if (!end.exception.empty())
            line.Add("exception", end.exception);
        if (!end.notSeen.empty())
            line.Add("not_seen", end.notSeen);
        m_out.Line(line.Text());
        return;
    }
    std::wstring text = L"end: " + end.how;
    if (!end.command.empty())
        text += L" \"" + end.command + L"\"";
    if (end.exitCodeKnown) {
        text += L", exit code " + std::to_wstring(end.exitCode);
        if (end.exitCode >= kExceptionCodeFloor)
            text += L" (" + HexCode(end.exitCode) + L")";
    }
    if (!end.stuckIn.empty())
        text += L"; stuck in " + end.stuckIn;
    if (!end.exception.empty())
        text += L"; C++ exception " + end.exception;
    if (!end.notSeen.empty())
        text += L"; never seen: " + end.notSeen;
    m_out.Line(text);
}

} // namespace Vpedrive
} // namespace Corvinex
