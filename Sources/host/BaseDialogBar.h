#pragma once

#include <QWidget>

#include <cstdint>

// The base of the search bar: a bar created as a child of the main frame from a template (given
// by number or by name), whose controls are bound in DoDataExchange once it exists.
class BaseDialogBar : public QWidget
{
    Q_OBJECT

public:
    BaseDialogBar() = default;
    ~BaseDialogBar() override = default;
    BaseDialogBar(const BaseDialogBar&) = delete;
    BaseDialogBar& operator=(const BaseDialogBar&) = delete;

    // Becomes a child of pParent; then answers OnInitDialogBar. False without a parent.
    virtual bool Create(QWidget* pParent, uint32_t uTemplateId, uint32_t uStyle,
                        uint32_t uControlId);
    virtual bool Create(QWidget* pParent, const char* pszTemplateName, uint32_t uStyle,
                        uint32_t uControlId);
    // Binds the controls through DoDataExchange and answers true.
    virtual bool OnInitDialogBar();

    uint32_t GetTemplateId() const { return m_uTemplateId; }
    const QString& GetTemplateName() const { return m_strTemplateName; }
    uint32_t GetBarStyle() const { return m_uStyle; }
    uint32_t GetControlId() const { return m_uControlId; }

protected:
    // Binds the derived bar's controls; the base has none.
    virtual void DoDataExchange() {}

private:
    bool CreateChild(QWidget* pParent, uint32_t uStyle, uint32_t uControlId);

    uint32_t m_uTemplateId = 0;
    QString m_strTemplateName;
    uint32_t m_uStyle = 0;
    uint32_t m_uControlId = 0;
};
