// SPDX-License-Identifier: Apache-2.0
// Every status text the job sends, and the summary built from its counters.
#pragma once

#include "engine/JobResult.h"

#include <QString>

namespace engine::text {

inline const QString kApplicationCreated = QStringLiteral("excel OK!");
inline const QString kWorkbooksAsked = QStringLiteral("WorkBooks OK!");
inline const QString kNoApplication =
    QStringLiteral("本功能需要电脑中装有微软office或金山wps专业版(注意是专业版,不是个人版)!");
inline const QString kWorkbookAdded = QStringLiteral("AddWorkBook OK!");
inline const QString kWorkbookActive = QStringLiteral("ActiveWorkBook OK!");
inline const QString kGettingHeader = QStringLiteral("获取表头!");
inline const QString kHeaderMissing = QStringLiteral("包含表头的excel文件不存在,请选择,或取消[指定表头]选项!");
inline const QString kHeaderWrongType = QStringLiteral("文件类型不正确,请重新选择,或取消[指定表头]选项!");
inline const QString kHeaderUnopenable = QStringLiteral("无法打开包含表头的excel文件,请重新选择,或取消[指定表头]选项!");
inline const QString kSaveFailedPrefix = QStringLiteral("保存失败:");
// Why a pass had no workbook to save into.
inline const QString kNoResultWorkbook = QStringLiteral("无法新建工作簿");
// After a summary, once a job: a result held more distinct cell formats than
// the spreadsheet applications load, so some cells took the closest one.
inline const QString kFormatsSimplified = QStringLiteral("部分单元格格式超出上限,已简化。");
// An unexpected failure (an exception, memory running out) ended the job.
inline const QString kInterruptedPrefix = QStringLiteral("提取中断:");

// The brackets after a failed save's path: the kind in the user's words, or,
// for a kind without words of its own, what the writer said.
QString saveFailureReason(automation::SaveFailure kind, const QString &writerWords);

// "保存失败:/data/out/RowBasket.xlsx(权限不足)"
QString saveFailed(const QString &path, const QString &reason);

// The job was stopped: "提取已停止,另有5个文件未被查找。", and in one
// workbook per value ",2个值未查找" before the full stop; a count of 0 is left out.
QString jobStopped(long long filesNotReached, int valuesNotSearched);

// Lines of the closing report.
QString filesUnreadable(long long count);  // "3个文件无法读取,未被查找"
QString savedAsCsv(const QString &path);   // "结果已保存为CSV:path"
// "4个公式无法计算,按文件中存储的值查找": formula cells stored without a
// result that could not be calculated either.
QString formulasNotEvaluated(long long cells);
// A detail line: "2个公式无法计算:path".
QString formulasNotEvaluatedIn(int cells, const QString &path);
// Before the path of a file a stopped job never reached.
inline const QString kNotReachedPrefix = QStringLiteral("未查找(已停止):");

// Before the path of a source workbook that was not searched: "无法读取(文件已加密):"
// and its siblings for one that could not be read, kNotReachedPrefix for one a
// stopped job never reached.
QString notSearchedPrefix(const SourceFileReport &file);

// After a pass's summary, when files could not be searched:
// "另有3个文件无法读取,未被查找。"
QString filesNotSearched(long long count);

// "查找12个Excel文件,提取30条数据,耗时4秒。", or with the CSV sentence.
QString summary(long long filesSearched, long long rowsExtracted, long long seconds, bool savedAsCsv);

}  // namespace engine::text
