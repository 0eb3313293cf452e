#include "engine/phone/page.h"

namespace vorla::phone {

namespace {

constexpr std::string_view kStyle =
    ":root{color-scheme:dark}"
    "body{margin:0;padding:18px;background:#0a0a0b;color:#eee;"
    "font:15px/1.45 system-ui,-apple-system,sans-serif}"
    "h1{font-size:12px;letter-spacing:.14em;color:#666;margin:0 0 16px;font-family:ui-monospace,"
    "monospace}"
    ".card{background:#141416;border:1px solid #232326;border-radius:14px;padding:14px;"
    "margin-bottom:14px}"
    ".row{display:flex;flex-direction:row;justify-content:space-between;align-items:center}"
    ".tool{font:11px ui-monospace,monospace;color:#aaa;background:#232326;padding:3px 8px;"
    "border-radius:99px}"
    ".proj{font:11px ui-monospace,monospace;color:#777;margin-top:2px}"
    ".risk{font:11px ui-monospace,monospace;margin-top:8px}"
    "pre{background:#0d0d0e;border-radius:9px;padding:11px;overflow-x:auto;"
    "font:12px ui-monospace,monospace;color:#ddd;margin:10px 0 14px}"
    ".btns{display:flex;flex-direction:row;gap:10px}"
    "button{flex:1;padding:14px;border:none;border-radius:11px;font-size:15px;font-weight:600}"
    ".allow{background:#8ce88c;color:#06210a}"
    ".deny{background:#3a1e2a;color:#fa87bf}"
    ".empty{text-align:center;color:#555;margin-top:22vh;font:14px ui-monospace,monospace}"
    ".empty span{color:#333;font-size:12px}";

// The identifier as a single-quoted script string inside a double-quoted
// attribute. Gate identifiers are the bridge's UUIDs, but any local process
// can name one, and a quote in it must not become script on the phone.
std::string scriptString(std::string_view id) {
    std::string quoted;
    for (char c : id) {
        if (c == '\\' || c == '\'') {
            quoted += '\\';
        }
        quoted += c;
    }
    return "'" + escapeHTML(quoted) + "'";
}

std::string riskLine(const GateCard& gate) {
    std::string line = std::string(label(gate.risk)) + "  ";
    if (!gate.reasons.empty()) {
        std::string joined;
        for (const std::string& reason : gate.reasons) {
            joined += (joined.empty() ? "" : ", ") + reason;
        }
        line += " \u00b7 " + joined;
    }
    return escapeHTML(line);
}

}  // namespace

std::string escapeHTML(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string_view riskColour(Risk risk) {
    switch (risk) {
        case Risk::trivial:
        case Risk::normal:
            return "#8ce88c";
        case Risk::elevated:
            return "#fad96b";
        case Risk::critical:
            return "#fa87bf";
    }
    return "#8ce88c";
}

std::string card(const GateCard& gate) {
    std::string id = scriptString(gate.id);
    return "<div class=\"card\"><div class=\"row\"><b>" + escapeHTML(gate.agentName) +
           "</b><span class=\"tool\">" + escapeHTML(gate.toolName) +
           "</span></div><div class=\"proj\">" + escapeHTML(gate.project) +
           "</div><div class=\"risk\" style=\"color:" + std::string(riskColour(gate.risk)) + "\">" +
           riskLine(gate) + "</div><pre>" + escapeHTML(gate.detail) +
           "</pre><div class=\"btns\"><button class=\"deny\" onclick=\"d(" + id +
           ",'deny')\">Deny</button><button class=\"allow\" onclick=\"d(" + id +
           ",'allow')\">Allow</button></div></div>";
}

std::string page(const std::vector<GateCard>& gates, std::string_view token) {
    std::string html =
        "<!doctype html><html><head><meta charset=\"utf-8\">"
        "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">"
        "<meta http-equiv=\"refresh\" content=\"3\"><title>Vorla Agents</title><style>";
    html += kStyle;
    html += "</style></head><body><h1>VORLA AGENTS</h1>";
    if (gates.empty()) {
        html +=
            "<div class=\"empty\">Nothing waiting.<br><span>Your agents are getting on with "
            "it.</span></div>";
    }
    for (const GateCard& gate : gates) {
        html += card(gate);
    }
    html += "<script>function d(id,a){fetch('/decide?t=";
    html += token;  // a-z0-9 only
    html +=
        "&id='+id+'&a='+a,{method:'POST'}).then(function(){location.reload()},function(){})}"
        "</script></body></html>";
    return html;
}

}  // namespace vorla::phone
