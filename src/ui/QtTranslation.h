#pragma once
// Qt's own texts (file dialogs, standard buttons, the context menu of a text
// field) in the operator's language, from the distribution's Qt translations.
class QCoreApplication;
class QLocale;

namespace tornu::ui {

// Installs Qt's translation for `locale` on `app`; false when the
// distribution has none for it (Qt then speaks English).
bool LoadQtTranslation(QCoreApplication& app, const QLocale& locale);

} // namespace tornu::ui
