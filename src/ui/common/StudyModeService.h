#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

// The web search that study mode opens beside a title.
enum class StudyModeProvider { spotify, youtube };

// The chosen provider lives in the settings under "LyrafoldStudyModeProvider" and is read afresh at
// each use, so a choice made in one window holds for the next title opened from any window. Main
// thread only.
namespace StudyModeService {

// Every provider, in the order of the pop-up items.
QList<StudyModeProvider> allProviders();
QString rawValue(StudyModeProvider provider);
QString displayTitle(StudyModeProvider provider);

// The stored provider: Spotify unless "youtube" is stored.
StudyModeProvider provider();

// Fills the pop-up with the providers (display title, raw value as item data) and selects the
// stored one.
void configure(QComboBox *providerPopup);

// The provider the pop-up shows: YouTube only when the selected item's data is the text "youtube".
StudyModeProvider provider(const QComboBox *providerPopup);

// Stores the provider the pop-up shows.
void setProvider(const QComboBox *providerPopup);

// The search address for a title, or none for a title without content.
std::optional<QUrl> url(const QString &title, StudyModeProvider provider);

// Opens the stored provider's search for the title in the browser; a title without content opens
// nothing.
void openProvider(const QString &title);

// The title as the search query; the playlist exports use the same encoding.
QString encodedSearchQuery(const QString &title);

// The "Study mode" box ("studyModeCheckbox") and the provider pop-up ("studyProviderPopup") of a
// window that opens titles. A change is stored at once and holds for every window; whenever their
// window comes forward they show the stored choice again, which another window may have changed.
struct Controls {
    QCheckBox *checkbox = nullptr;
    QComboBox *providerPopup = nullptr;
};
Controls makeControls();

} // namespace StudyModeService
