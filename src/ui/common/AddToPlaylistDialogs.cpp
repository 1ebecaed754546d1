#include "ui/common/AddToPlaylistDialogs.h"

#include "core/playlist/PlaylistLibrary.h"
#include "core/text/TextUtils.h"
#include "ui/common/LyrafoldAlert.h"
#include "ui/common/LyrafoldFormAlert.h"

#include <QListWidget>

namespace AddToPlaylistDialogs {

namespace {

const QString chooseMessage = QStringLiteral("Add to playlist");
const QString chooseInformative = QStringLiteral("Choose a playlist");
const QString createText = QStringLiteral("Create new playlist");
const QString cancelText = QStringLiteral("Cancel");

// What the user chose: a playlist's position, or nothing for a new one; no answer at all for Cancel.
using Choice = std::optional<std::optional<qsizetype>>;

Choice chooseByButton(QWidget *parent, const QStringList &names)
{
    const int answer =
        LyrafoldAlert::run(parent, LyrafoldAlert::Style::informational, chooseMessage, chooseInformative,
                           names + QStringList{createText, cancelText}, names.size());
    if (answer >= 0 && answer < names.size())
        return std::optional<qsizetype>(answer);
    if (answer == names.size())
        return std::optional<qsizetype>();
    return std::nullopt;
}

// Many playlists: a list to pick from.
Choice chooseFromList(QWidget *parent, const QStringList &names)
{
    LyrafoldFormAlert alert(parent, QStringLiteral("choosePlaylistDialog"), chooseMessage, chooseInformative,
                            {QStringLiteral("Add"), createText, cancelText});
    auto *list = new QListWidget;
    list->setObjectName(QStringLiteral("playlistList"));
    list->addItems(names);
    list->setCurrentRow(0);
    list->setMinimumSize(300, 240);
    QObject::connect(list, &QListWidget::itemActivated, &alert, [&alert] { alert.press(0); });
    alert.setAccessory(list);
    // The arrow keys move through the playlists and Return adds to the one chosen.
    list->setFocus();
    switch (alert.run()) {
    case 0:
        if (list->currentRow() >= 0)
            return std::optional<qsizetype>(list->currentRow());
        return std::nullopt;
    case 1:
        return std::optional<qsizetype>();
    default:
        return std::nullopt;
    }
}

} // namespace

Result addToPlaylist(QWidget *parent, PlaylistLibrary &playlists, const BookmarkEntry &entry)
{
    const QStringList names = playlists.names();
    if (names.isEmpty())
        return createNewPlaylistAndAdd(parent, playlists, entry);
    const Choice choice =
        names.size() <= maxPlaylistButtons ? chooseByButton(parent, names) : chooseFromList(parent, names);
    if (!choice)
        return {};
    if (!*choice)
        return createNewPlaylistAndAdd(parent, playlists, entry);
    const QString &name = names.at(**choice);
    const PlaylistLibrary::Outcome outcome = playlists.addToPlaylist(name, entry);
    return {outcome == PlaylistLibrary::Outcome::alreadyThere ? Result::Kind::alreadyThere
                                                              : Result::Kind::added,
            name};
}

Result createNewPlaylistAndAdd(QWidget *parent, PlaylistLibrary &playlists, const BookmarkEntry &entry)
{
    const std::optional<QString> typed = LyrafoldFormAlert::askText(
        parent, QStringLiteral("newPlaylistPrompt"), QStringLiteral("New playlist"),
        QStringLiteral("Playlist name:"), QStringLiteral("Create"), 200);
    if (!typed)
        return {};
    const QString name = TextUtils::trimmed(*typed);
    if (name.isEmpty())
        return {};
    if (playlists.indexOf(name) >= 0) {
        LyrafoldAlert::run(parent, LyrafoldAlert::Style::warning,
                           QStringLiteral("A playlist with that name already exists."));
        return {Result::Kind::nameTaken, name};
    }
    playlists.addToPlaylist(name, entry);
    return {Result::Kind::created, name};
}

} // namespace AddToPlaylistDialogs
