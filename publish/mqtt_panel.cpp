#include "publish/mqtt_panel.h"

#include "publish/publish.h"
#include "ui/merrivan_uir.h"
#include "ui/panel_handles.h"

namespace {

const char* const kUirFile = "MERRIVAN.UIR";

std::string textOf(int control)
{
    char text[512] = "";
    GetCtrlVal(mqttPanel, control, text);
    return text;
}

bool switchOf(int control)
{
    int on = 0;
    GetCtrlVal(mqttPanel, control, &on);
    return on != 0;
}

void showState()
{
    const std::string text = "State: " + publishStateText();
    SetCtrlVal(mqttPanel, MQTT_STATE, text.c_str());
}

}  // namespace

void closeMqttPanel()
{
    if (mqttPanel < 0)
        return;
    DiscardPanel(mqttPanel);
    mqttPanel = -1;
}

int mqttCallBack(CTRL_CALLBACK_ARGS)
{
    if (event != EVENT_COMMIT)
        return 0;
    if (mqttPanel >= 0) {
        DisplayPanel(mqttPanel);
        return 0;
    }
    if ((mqttPanel = LoadPanel(0, kUirFile, MQTT)) < 0)
        return -1;
    const MqttSettings s = mqttSettings();
    SetCtrlVal(mqttPanel, MQTT_ENABLED, s.enabled ? 1 : 0);
    SetCtrlVal(mqttPanel, MQTT_HOST, s.host.c_str());
    SetCtrlVal(mqttPanel, MQTT_PORT, s.port);
    SetCtrlVal(mqttPanel, MQTT_METER_ID,
               (s.meterId.empty() ? defaultMeterId() : s.meterId).c_str());
    SetCtrlVal(mqttPanel, MQTT_TLS, s.tls ? 1 : 0);
    SetCtrlVal(mqttPanel, MQTT_CA_FILE, s.caFile.c_str());
    SetCtrlVal(mqttPanel, MQTT_USER, s.user.c_str());
    SetCtrlVal(mqttPanel, MQTT_PASSWORD, s.password.c_str());
    SetCtrlVal(mqttPanel, MQTT_HOME_ASSISTANT, s.homeAssistant ? 1 : 0);
    showState();
    DisplayPanel(mqttPanel);
    return 0;
}

int mqttOkCallBack(CTRL_CALLBACK_ARGS)
{
    if (event != EVENT_COMMIT)
        return 0;
    MqttSettings s;
    s.enabled = switchOf(MQTT_ENABLED);
    s.host = textOf(MQTT_HOST);
    GetCtrlVal(mqttPanel, MQTT_PORT, &s.port);
    s.meterId = textOf(MQTT_METER_ID);
    // The default id follows the port; only an id of the user's own is kept.
    if (s.meterId == defaultMeterId())
        s.meterId.clear();
    s.tls = switchOf(MQTT_TLS);
    s.caFile = textOf(MQTT_CA_FILE);
    s.user = textOf(MQTT_USER);
    s.password = textOf(MQTT_PASSWORD);
    s.homeAssistant = switchOf(MQTT_HOME_ASSISTANT);
    if (s.host.empty())
        s.host = "localhost";
    setMqttSettings(s);
    closeMqttPanel();
    return 0;
}

int mqttCancelCallBack(CTRL_CALLBACK_ARGS)
{
    if (event == EVENT_COMMIT)
        closeMqttPanel();
    return 0;
}

int MqttPanCallBack(PANEL_CALLBACK_ARGS)
{
    if (event == EVENT_CLOSE)
        closeMqttPanel();
    return 0;
}

int mqttStateTimerCallBack(CTRL_CALLBACK_ARGS)
{
    if (event == EVENT_TIMER_TICK && mqttPanel >= 0)
        showState();
    return 0;
}
