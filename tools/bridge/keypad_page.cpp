#include "tools/bridge/keypad_page.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>

#include "tools/bridge/bridge_json.h"

namespace velmora::bridge {

namespace page {
extern const char Html[];
extern const char Css[];
extern const char Js[];
}  // namespace page

namespace {

struct Assembled {
    std::string html;
    std::string styleHash;
    std::string scriptHash;
};

std::string Sha256(const std::string& text)
{
    return QCryptographicHash::hash(QByteArray::fromStdString(text), QCryptographicHash::Sha256)
        .toBase64()
        .toStdString();
}

void Replace(std::string& text, std::string_view marker, const std::string& with)
{
    const std::size_t at = text.find(marker);
    if (at != std::string::npos) text.replace(at, marker.size(), with);
}

const Assembled& Page()
{
    static const Assembled assembled = [] {
        Assembled page;
        page.html = page::Html;
        std::string keys =
            QJsonDocument(KeysAnswer().value("keys").toArray()).toJson(QJsonDocument::Compact).toStdString();
        // Data inside a script element: no "</script" may end it early.
        for (std::size_t at = keys.find('<'); at != std::string::npos; at = keys.find('<', at))
            keys.replace(at, 1, "\\u003c");
        Replace(page.html, "@KEYS@", keys);
        Replace(page.html, "@STYLE@", page::Css);
        Replace(page.html, "@SCRIPT@", page::Js);
        page.styleHash = Sha256(page::Css);
        page.scriptHash = Sha256(page::Js);
        return page;
    }();
    return assembled;
}

}  // namespace

const std::string& KeypadPageHtml()
{
    return Page().html;
}

std::string KeypadPagePolicy(std::string_view host)
{
    const Assembled& page = Page();
    return "default-src 'none'; script-src 'sha256-" + page.scriptHash + "'; style-src 'sha256-" +
           page.styleHash + "'; connect-src 'self' ws://" + std::string(host) +
           "; img-src data:; base-uri 'none'; form-action 'none'; frame-ancestors 'self'";
}

}  // namespace velmora::bridge
