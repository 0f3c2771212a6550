#pragma once
#include <QString>

struct AppPaths;
class TDataPoolDM;

// The demo template "公路工程质量检验表格（示例）" that `quelmar-cli init DIR --sample` adds to a new program
// folder, so that a newcomer can create a real project at once: a common part and the divisions 路基工程,
// 路面工程 and 桥梁工程 with data categories, twelve forms (sub-items and general form styles) drawn with the
// spreadsheet engine as highway inspection records, each with its header-fill positions set, and a few option-list
// entries. Returns the template's ItemID.
int AddSampleTemplate(TDataPoolDM& dm, const AppPaths& paths);

// The name of the demo template.
QString SampleTemplateName();
