#include "tools/vpedrive/validate_report.h"

#include "tools/vpedrive/console_output.h"
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

std::string JunitDocument(const RunHeader& header, const std::vector<CheckResult>& results) {
    const RunSummary summary = Summarize(results, header.strict);
    int failures = 0, errors = 0, skipped = 0;
    for (const CheckResult& result : results) {
        if (result.status == CheckStatus::Failed || (header.strict && IsLenient(result.status)))
            ++failures;
        else if (result.status == CheckStatus::Crashed || result.status == CheckStatus::TimedOut)
            ++errors;
        else if (result.status == CheckStatus::Skipped)
            ++skipped;
    }
    std::string xml = JunitStart(header, static_cast<int>(results.size()), failures, errors,
                                 skipped, summary.seconds);
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
        switch (result.status) {
        case CheckStatus::Failed:
            xml += "      <failure message=\"" + reason + "\" type=\"failed\">" + XmlText(all) +
                   "</failure>\n";
            break;
        case CheckStatus::Crashed:
        case CheckStatus::TimedOut:
            xml += "      <error message=\"" + reason + "\" type=\"" +
                   (result.status == CheckStatus::Crashed ? "crashed" : "timed out") + "\">" +
                   XmlText(all) + "</error>\n";
            break;
        case CheckStatus::Skipped:
        case CheckStatus::Warning:
            // Under --strict both fail; otherwise a skip is reported as one, a warning passes.
            if (header.strict)
                xml += "      <failure message=\"" + reason + "\" type=\"" +
                       ToUtf8(StatusWord(result.status)) + "\">" + XmlText(all) + "</failure>\n";
            else if (result.status == CheckStatus::Skipped)
                xml += "      <skipped message=\"" + reason + "\"/>\n";
            break;
        case CheckStatus::Passed:
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

} // namespace Vpedrive
} // namespace Corvinex
