-- ZOVIK settings. Edit with any text editor; a mistake here is reported in
-- Saved Games\DCS\Logs\dcs.log (lines with ZOVIK) and the default is used.
-- The setup program keeps this file when it updates ZOVIK.
return {
  -- The computer that runs TeamSpeak 3, by IPv4 address or by name:
  -- "127.0.0.1" is this computer.
  host = "127.0.0.1",

  -- The port the ZOVIK plugin listens on. Leave it unless told otherwise.
  port = 10500,

  -- The frequency is sent again every this many seconds even when it does
  -- not change, so TeamSpeak started after the mission still follows you.
  resendSeconds = 2,

  -- Which radio to follow, by aircraft. Each aircraft has a default (the
  -- radio its cockpit numbers first); add a line to follow another device:
  --   ["F-16C_50"] = 38,       -- the VHF radio (COM2) instead of COM1 UHF
  --   ["FA-18C_hornet"] = 39,  -- COMM2 instead of COMM1
  -- A named device wins over the transmit selectors. A list names one by
  -- seat, first seat first; false leaves a seat to its selector:
  --   ["Mi-24P"] = { false, 51 },  -- the operator on the R-828
  radios = {
  },
}
