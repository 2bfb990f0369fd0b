// Control ids that double as language item numbers. Every captioned control
// of the panel and its pages carries its id in the dynamic property
// "controlId" and keeps its template caption, so that a language switch can
// relabel it, and fall back to the template where a language has no text.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>

namespace zorbel {

inline constexpr char kControlIdProperty[] = "controlId";

// The language text of an item number; empty when the language has none.
using LanguageLookup = std::function<QString(int itemNumber)>;

// Gives `control` the id `id`; its present caption becomes its template caption.
void SetControlId(QWidget* control, int id);
// The id of `control`, 0 when it has none.
int ControlId(const QWidget* control);

// The first control below `root` (children in order, depth first) with id
// `id`, or nullptr. Ids are unique within one page and within the panel's
// own controls; the pages repeat theirs (every page has a 1022), so look in
// the page itself for a page's field.
QWidget* FindControl(const QWidget* root, int id);
template <class T>
T* FindControl(const QWidget* root, int id) {
    return qobject_cast<T*>(FindControl(root, id));
}

// The caption of a label, button or group box; empty for other widgets.
QString Caption(const QWidget* control);

// Relabels every control below `root` that carries an id with the language
// text of its id, or with its template caption where the language has none.
// Number fields keep their values; other captionless controls take the text
// as their accessible name.
void TranslateControls(QWidget* root, const LanguageLookup& languageText);

}  // namespace zorbel
