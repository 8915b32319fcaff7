#include "tools/vpedrive/validate_report.h"

#include "tools/driver/scratch_folder.h"
#include "tools/driver/text_file.h"
#include "tools/vpedrive/doctor.h"
#include "tools/vpedrive/json_text.h"

#include <cstdio>

namespace Corvinex {
namespace Vpedrive {

namespace {

std::wstring Seconds(double seconds) {
    wchar_t text[32];
    swprintf(text, 32, L"%.2f s", seconds);
    return text;
}

std::wstring Pad(const std::wstring& text, size_t width) {
    return text.size() >= width ? text + L" " : text + std::wstring(width - text.size(), L' ');
}

std::wstring Reason(const CheckResult& result) {
    return result.details.empty() ? std::wstring() : result.details[0];
}

std::wstring Tally(const RunSummary& summary) {
    std::wstring text = std::to_wstring(summary.total) + L" checks:";
    const CheckStatus order[] = {CheckStatus::Passed,   CheckStatus::Failed,  CheckStatus::Crashed,
                                 CheckStatus::TimedOut, CheckStatus::Warning, CheckStatus::Skipped};
    bool first = true;
    for (CheckStatus status : order) {
        text += first ? L" " : L", ";
        first = false;
        text +=
            std::to_wstring(summary.counts[static_cast<int>(status)]) + L" " + StatusWord(status);
    }
    return text;
}

std::string JsonArray(const std::vector<std::wstring>& texts) {
    std::string json = "[";
    for (size_t i = 0; i < texts.size(); ++i)
        json += (i > 0 ? "," : "") + JsonString(texts[i]);
    return json + "]";
}

// A YAML block scalar line: the text on one line, quoted as a JSON string (valid YAML).
std::wstring YamlQuoted(const std::wstring& text) {
    const std::string json = JsonString(text);
    return std::wstring(json.begin(), json.end());
}

} // namespace

std::vector<std::wstring> TextHeader(const RunHeader& header) {
    std::vector<std::wstring> lines;
    lines.push_back(L"vpedrive validate");
    lines.push_back(L"engine:     " + header.engine);
    lines.push_back(L"            " + header.engineFile);
    if (!header.helper.empty())
        lines.push_back(L"helper:     " + header.helper);
    lines.push_back(L"strictness: " + std::to_wstring(header.strictness) +
                    (header.strict ? L" (strict: warnings and skips fail)" : L""));
    lines.push_back(L"seed:       " + std::to_wstring(header.seed) + L" (--seed " +
                    std::to_wstring(header.seed) + L" reproduces this run)");
    lines.push_back(L"repeat:     " + std::to_wstring(header.repeat));
    std::wstring order = header.shuffle ? L"shuffled: " : L"listed: ";
    for (size_t i = 0; i < header.order.size(); ++i)
        order += (i > 0 ? L", " : L"") + header.order[i];
    lines.push_back(L"order:      " + order);
    return lines;
}

std::wstring TextLine(const CheckResult& result) {
    std::wstring name = result.name;
    if (result.round > 1)
        name += L" #" + std::to_wstring(result.round);
    std::wstring line = L"  " + Pad(StatusWord(result.status), 10) + Pad(name, 22) +
                        Pad(Seconds(result.seconds), 9);
    if (result.status != CheckStatus::Passed && !result.details.empty())
        line += L" " + Reason(result);
    return line;
}

std::vector<std::wstring> TextSummary(const RunSummary& summary) {
    return {Tally(summary) + L" in " + Seconds(summary.seconds),
            summary.success ? L"SUCCESS" : L"FAILURE"};
}

std::string JsonCheck(const CheckResult& result) {
    return CJsonObject()
        .Add("name", result.name)
        .Add("level", static_cast<long long>(result.level))
        .Add("round", static_cast<long long>(result.round))
        .Add("status", std::wstring(StatusWord(result.status)))
        .AddRaw("duration",
                [&] {
                    char text[32];
                    snprintf(text, sizeof(text), "%.3f", result.seconds);
                    return std::string(text);
                }())
        .AddRaw("details", JsonArray(result.details))
        .Text();
}

std::string JsonSummary(const RunHeader& header, const RunSummary& summary) {
    CJsonObject counts;
    const CheckStatus all[] = {CheckStatus::Passed,   CheckStatus::Failed,  CheckStatus::Crashed,
                               CheckStatus::TimedOut, CheckStatus::Warning, CheckStatus::Skipped};
    for (CheckStatus status : all) {
        const std::string key = ToUtf8(StatusWord(status));
        counts.Add(key == "timed out" ? "timed_out" : key.c_str(),
                   static_cast<long long>(summary.counts[static_cast<int>(status)]));
    }
    CJsonObject engine;
    engine.Add("path", header.engine).Add("file", header.engineFile);
    return CJsonObject()
        .AddRaw("summary", CJsonObject()
                               .AddRaw("engine", engine.Text())
                               .Add("helper", header.helper)
                               .Add("strictness", static_cast<long long>(header.strictness))
                               .Add("seed", static_cast<long long>(header.seed))
                               .Add("repeat", static_cast<long long>(header.repeat))
                               .Add("shuffle", header.shuffle)
                               .Add("strict", header.strict)
                               .AddRaw("order", JsonArray(header.order))
                               .Add("total", static_cast<long long>(summary.total))
                               .AddRaw("counts", counts.Text())
                               .Add("success", summary.success)
                               .Text())
        .Text();
}

std::string JsonCatalogue(const std::vector<CheckInfo>& checks) {
    std::string json = "[";
    for (size_t i = 0; i < checks.size(); ++i) {
        json += (i > 0 ? "," : "") + CJsonObject()
                                         .Add("name", std::wstring(checks[i].name))
                                         .Add("level", static_cast<long long>(checks[i].level))
                                         .Add("meaning", std::wstring(checks[i].meaning))
                                         .Text();
    }
    return json + "]";
}

std::vector<std::wstring> TapStart(int count) {
    return {L"TAP version 13", L"1.." + std::to_wstring(count)};
}

std::vector<std::wstring> TapLine(int number, const CheckResult& result, bool strict) {
    const bool ok = !FailsRun(result.status, strict);
    std::wstring description = result.name;
    if (result.round > 1)
        description += L" #" + std::to_wstring(result.round);
    std::wstring line =
        std::wstring(ok ? L"ok " : L"not ok ") + std::to_wstring(number) + L" - " + description;
    if (result.status == CheckStatus::Skipped && !strict)
        line += L" # SKIP " + Reason(result);
    std::vector<std::wstring> lines = {line};
    lines.push_back(L"  ---");
    lines.push_back(std::wstring(L"  status: ") + YamlQuoted(StatusWord(result.status)));
    wchar_t duration[32];
    swprintf(duration, 32, L"  duration_ms: %.0f", result.seconds * 1000);
    lines.push_back(duration);
    if (!result.details.empty()) {
        lines.push_back(L"  details:");
        for (const std::wstring& detail : result.details)
            lines.push_back(L"    - " + YamlQuoted(detail));
    }
    lines.push_back(L"  ...");
    return lines;
}

std::wstring TapBailOut(const std::wstring& sentence) {
    return L"Bail out! " + sentence;
}

std::string XmlText(const std::wstring& text) {
    std::wstring escaped;
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        switch (c) {
        case L'&':
            escaped += L"&amp;";
            break;
        case L'<':
            escaped += L"&lt;";
            break;
        case L'>':
            escaped += L"&gt;";
            break;
        case L'"':
            escaped += L"&quot;";
            break;
        case L'\'':
            escaped += L"&apos;";
            break;
        default:
            if ((c < 0x20 && c != L'\t' && c != L'\n' && c != L'\r') || c == 0xFFFE ||
                c == 0xFFFF) {
                escaped += static_cast<wchar_t>(0xFFFD);
            } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                       text[i + 1] <= 0xDFFF) {
                escaped += c;
                escaped += text[++i];
            } else if (c >= 0xD800 && c <= 0xDFFF) {
                escaped += static_cast<wchar_t>(0xFFFD); // a lone surrogate
            } else {
                escaped += c;
            }
        }
    }
    return ToUtf8(escaped);
}

namespace {

// The document up to the first testcase: the suite with its tally and the run's properties.
std::string JunitStart(const RunHeader& header, int tests, int failures, int errors, int skipped,
                       double seconds) {
    char head[160];
    snprintf(head, sizeof(head),
             "tests=\"%d\" failures=\"%d\" errors=\"%d\" skipped=\"%d\" time=\"%.3f\"", tests,
             failures, errors, skipped, seconds);
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    xml += "<testsuites name=\"vpedrive validate\" " + std::string(head) + ">\n";
    xml += "  <testsuite name=\"vpedrive validate\" " + std::string(head) + ">\n";
    xml += "    <properties>\n";
    const std::pair<const char*, std::wstring> properties[] = {
        {"engine", header.engine},
        {"engine-file", header.engineFile},
        {"helper", header.helper},
        {"strictness", std::to_wstring(header.strictness)},
        {"seed", std::to_wstring(header.seed)},
        {"repeat", std::to_wstring(header.repeat)},
        {"shuffle", header.shuffle ? L"true" : L"false"},
    };
    for (const auto& property : properties)
        xml += "      <property name=\"" + std::string(property.first) + "\" value=\"" +
               XmlText(property.second) + "\"/>\n";
    xml += "    </properties>\n";
    return xml;
}

const char kJunitEnd[] = "  </testsuite>\n</testsuites>\n";

} // namespace

JunitKind JunitKindOf(CheckStatus status, bool strict) {
    if (FailsRun(status, strict))
        return status == CheckStatus::Crashed || status == CheckStatus::TimedOut
                   ? JunitKind::Error
                   : JunitKind::Failure;
    return status == CheckStatus::Skipped ? JunitKind::Skipped : JunitKind::None;
}

std::string JunitDocument(const RunHeader& header, const std::vector<CheckResult>& results) {
    const RunSummary summary = Summarize(results, header.strict);
    int counts[4] = {0, 0, 0, 0}; // by JunitKind
    for (const CheckResult& result : results)
        ++counts[static_cast<int>(JunitKindOf(result.status, header.strict))];
    std::string xml = JunitStart(header, static_cast<int>(results.size()),
                                 counts[static_cast<int>(JunitKind::Failure)],
                                 counts[static_cast<int>(JunitKind::Error)],
                                 counts[static_cast<int>(JunitKind::Skipped)], summary.seconds);
    for (const CheckResult& result : results) {
        std::wstring name = result.name;
        if (result.round > 1)
            name += L" #" + std::to_wstring(result.round);
        char time[32];
        snprintf(time, sizeof(time), "%.3f", result.seconds);
        xml += "    <testcase classname=\"vpedrive.validate\" name=\"" + XmlText(name) +
               "\" time=\"" + time + "\">\n";
        const std::string reason = XmlText(Reason(result));
        std::wstring all;
        for (const std::wstring& detail : result.details)
            all += detail + L"\n";
        const std::string type = ToUtf8(StatusWord(result.status));
        switch (JunitKindOf(result.status, header.strict)) {
        case JunitKind::Failure:
        case JunitKind::Error: {
            const char* element =
                JunitKindOf(result.status, header.strict) == JunitKind::Error ? "error" : "failure";
            xml += "      <" + std::string(element) + " message=\"" + reason + "\" type=\"" + type +
                   "\">" + XmlText(all) + "</" + element + ">\n";
            break;
        }
        case JunitKind::Skipped:
            xml += "      <skipped message=\"" + reason + "\"/>\n";
            break;
        case JunitKind::None:
            break;
        }
        xml += "      <system-out>" + XmlText(result.output) + "</system-out>\n";
        xml += "    </testcase>\n";
    }
    return xml + kJunitEnd;
}

std::string JunitBindingFailure(const RunHeader& header, const std::wstring& sentence) {
    std::string xml = JunitStart(header, 1, 0, 1, 0, 0.0);
    xml += "    <testcase classname=\"vpedrive.validate\" name=\"binding\" time=\"0.000\">\n";
    xml += "      <error message=\"" + XmlText(sentence) + "\" type=\"cannot be bound\">" +
           XmlText(sentence) + "</error>\n";
    xml += "    </testcase>\n";
    return xml + kJunitEnd;
}

namespace {

void PrintLines(COutput& out, const std::vector<std::wstring>& lines) {
    for (const std::wstring& line : lines)
        out.Line(line);
}

// The report for people: the header, one line per check, the tally and the verdict; progress
// lines on the standard error.
class CTextReporter : public CReporter {
public:
    CTextReporter(COutput& out, COutput& err) : m_out(out), m_err(err) {}
    void Begin(const RunHeader& header, int) override { PrintLines(m_out, TextHeader(header)); }
    void Starting(const std::wstring& name) override { m_err.Line(L"  running " + name + L" ..."); }
    void Checked(int, const CheckResult& result) override { m_out.Line(TextLine(result)); }
    bool End(const RunHeader&, const std::vector<CheckResult>&,
             const RunSummary& summary) override {
        PrintLines(m_out, TextSummary(summary));
        return true;
    }
    bool Stop(const RunHeader&, const std::wstring&, int, bool) override { return true; }

private:
    COutput& m_out;
    COutput& m_err;
};

// One JSON object per check, then the summary; a run that stops prints one error object.
class CJsonReporter : public CReporter {
public:
    explicit CJsonReporter(COutput& out) : m_out(out) {}
    void Begin(const RunHeader&, int) override {}
    void Checked(int, const CheckResult& result) override { m_out.Line(JsonCheck(result)); }
    bool End(const RunHeader& header, const std::vector<CheckResult>&,
             const RunSummary& summary) override {
        m_out.Line(JsonSummary(header, summary));
        return true;
    }
    bool Stop(const RunHeader&, const std::wstring& sentence, int doctorStatus, bool) override {
        CJsonObject error;
        error.Add("error", sentence);
        if (doctorStatus != kDoctorBindable)
            error.Add("doctor", static_cast<long long>(doctorStatus));
        m_out.Line(error.Text());
        return true;
    }

private:
    COutput& m_out;
};

// TAP version 13: the plan, one test line per check, the tally as a comment; a run that stops
// bails out.
class CTapReporter : public CReporter {
public:
    explicit CTapReporter(COutput& out) : m_out(out) {}
    void Begin(const RunHeader& header, int count) override {
        m_strict = header.strict;
        PrintLines(m_out, TapStart(count));
    }
    void Checked(int number, const CheckResult& result) override {
        PrintLines(m_out, TapLine(number, result, m_strict));
    }
    bool End(const RunHeader&, const std::vector<CheckResult>&,
             const RunSummary& summary) override {
        const std::vector<std::wstring> tally = TextSummary(summary);
        m_out.Line(L"# " + tally[0] + L": " + tally[1]);
        return true;
    }
    bool Stop(const RunHeader&, const std::wstring& sentence, int, bool begun) override {
        if (!begun)
            PrintLines(m_out, TapStart(0));
        m_out.Line(TapBailOut(sentence));
        return true;
    }

private:
    COutput& m_out;
    bool m_strict = false;
};

// The JUnit file, written whole when the run ends or stops.
class CJunitReporter : public CReporter {
public:
    CJunitReporter(const std::wstring& given, COutput& err)
        : m_given(given), m_path(Driver::FullPath(given)), m_err(err) {}
    void Begin(const RunHeader&, int) override {}
    void Checked(int, const CheckResult&) override {}
    bool End(const RunHeader& header, const std::vector<CheckResult>& results,
             const RunSummary&) override {
        return Write(JunitDocument(header, results));
    }
    bool Stop(const RunHeader& header, const std::wstring& sentence, int, bool) override {
        return Write(JunitBindingFailure(header, sentence));
    }

private:
    bool Write(const std::string& xml) {
        if (Driver::WriteFileBytes(m_path, xml))
            return true;
        m_err.Line(L"vpedrive: the JUnit file \"" + m_given + L"\" cannot be written");
        return false;
    }

    std::wstring m_given;
    std::wstring m_path;
    COutput& m_err;
};

} // namespace

std::vector<std::unique_ptr<CReporter>> ReportersFor(const ValidateOptions& options, COutput& out,
                                                     COutput& err) {
    std::vector<std::unique_ptr<CReporter>> reporters;
    if (options.json)
        reporters.emplace_back(new CJsonReporter(out));
    else if (options.tap)
        reporters.emplace_back(new CTapReporter(out));
    else
        reporters.emplace_back(new CTextReporter(out, err));
    if (!options.junitFile.empty())
        reporters.emplace_back(new CJunitReporter(options.junitFile, err));
    return reporters;
}

} // namespace Vpedrive
} // namespace Corvinex
