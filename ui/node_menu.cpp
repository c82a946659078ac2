#include "node_menu.h"

namespace tidewell {

std::vector<NodeMenuEntry> nodeMenuEntries(bool enabled, bool inBasket,
                                           const std::function<bool()>& canDelete) {
    using Kind = NodeMenuEntry::Kind;
    std::vector<NodeMenuEntry> entries;
    if (!enabled) return entries;
    entries.push_back({Kind::preview, QStringLiteral("Önizle"), QStringLiteral("eye")});
    // Linux has no Finder: the reveal goes to the desktop's file manager.
    entries.push_back(
        {Kind::reveal, QStringLiteral("Dosya Yöneticisinde Göster"), QStringLiteral("folder")});
    if (inBasket || canDelete()) {
        entries.push_back({Kind::separator, {}, {}});
        if (inBasket)
            entries.push_back({Kind::toggleBasket, QStringLiteral("Sepetten Çıkar"),
                               QStringLiteral("minus.circle")});
        else
            entries.push_back(
                {Kind::toggleBasket, QStringLiteral("Sepete Ekle"), QStringLiteral("plus.circle")});
    }
    return entries;
}

}  // namespace tidewell
