#pragma once
// The backup worker's failure messages: a failed task's recorded "Log" and
// the text of its report. Byte for byte as administrators know them; the "С"
// in "1С8." is the Cyrillic letter, unlike the Latin C of the archive names.
#include <string_view>

namespace ns {

inline constexpr std::string_view MessageBadLaunchParameters = "Не верно указаны параметры запуска.";
// On the line after MessageBadLaunchParameters, followed by the part of the
// text from the "/" that cut a value.
inline constexpr std::string_view MessageValueCut = "Значение обрезано знаком «/»: ";
inline constexpr std::string_view MessagePlatformNotInstalled = "Не установлена платформа 1С8.";
inline constexpr std::string_view MessageNoArchiveFolder = "Не указан путь к каталогу архива.";
inline constexpr std::string_view MessageConnectionFailed = "Ошибка соединения с базой.";
inline constexpr std::string_view MessageDumpNotCreated = "Ошибка создания выгрузки.";
inline constexpr std::string_view MessageArchiveNotCreated = "Ошибка создания архива.";
// A designer that outlived its time limit (waiting for input in its hidden
// window, say) is stopped so that it cannot hold every later task.
inline constexpr std::string_view MessageDesignerStopped =
    "Конфигуратор не завершил выгрузку за отведённое время и был остановлен.";

// The log and report of a run that did not happen because another instance
// of the program runs the task; that one records the outcome.
inline constexpr std::string_view MessageRunningElsewhere =
    "Задание уже выполняется в другом экземпляре Nightshelf: этот запуск его не выполнял.";

// A failed run never keeps the log of an earlier, perhaps successful one: when
// the designer leaves no log of its own, one of these says what happened.
// The system's reason follows on the next line.
inline constexpr std::string_view MessageDesignerNotStarted = "Не удалось запустить конфигуратор.";
// Followed by the error's own text.
inline constexpr std::string_view MessageProgramError = "Ошибка программы: ";
inline constexpr std::string_view MessageDesignerLeftNoLog = "Конфигуратор не оставил протокола выгрузки.";

// The restore check's lines, appended to the task's log and report. A failed
// check is followed by what went wrong: the designer's log, or the reason.
inline constexpr std::string_view MessageRestoreLoaded = "Проверка загрузкой: выгрузка загружена в пустую базу";
inline constexpr std::string_view MessageRestoreFailed = "Проверка загрузкой: ошибка";
// Followed by the room needed and the room free; the backup stands.
inline constexpr std::string_view MessageRestoreNoRoom =
    "Проверка загрузкой: недостаточно места во временном каталоге, проверка не выполнялась";
inline constexpr std::string_view MessageRestoreUnreadable = "Выгрузка в архиве не читается:";
inline constexpr std::string_view MessageRestoreNoInfobase = "Не удалось создать пустую базу.";
inline constexpr std::string_view MessageRestoreStopped =
    "Конфигуратор не завершил загрузку за отведённое время и был остановлен.";
inline constexpr std::string_view MessageRestoreLeftNoLog = "Конфигуратор не оставил протокола загрузки.";

// The second copy's failure: followed by the copy folder, ":", and the reason
// on the next line; then the line that the primary archive is sound, and its
// path.
inline constexpr std::string_view MessageCopyFailed = "Не удалось скопировать архив в ";
inline constexpr std::string_view MessagePrimaryArchiveSound = "Основной архив записан и проверен: ";

// Each followed by a line break and the path concerned.
// A temporary file of an earlier run of the task that is still there: this
// run's dump could not be told from it.
inline constexpr std::string_view MessageStaleFileNotDeleted = "Не удалось удалить файл прошлого запуска:";
// A path the system's file functions would not take whole.
inline constexpr std::string_view MessagePathTooLong = "Слишком длинный путь (больше 259 символов):";

}  // namespace ns
