<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<!-- SPDX-FileCopyrightText: 2026 The GPS Quorvel developers -->
<!-- SPDX-License-Identifier: GPL-3.0-or-later -->
<!-- The program is written in English; this file gives only the English plural
     forms of the texts that count something (one, more), which Qt takes from a
     translation alone. Every other text is shown as it stands in the code. -->
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>quorvel::average</name>
    <message numerus="yes">
        <source>%n fix(es)</source>
        <translation>
            <numerusform>%n fix</numerusform>
            <numerusform>%n fixes</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n fix(es) over %1</source>
        <translation>
            <numerusform>%n fix over %1</numerusform>
            <numerusform>%n fixes over %1</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>after %n fix(es)</source>
        <translation>
            <numerusform>after %n fix</numerusform>
            <numerusform>after %n fixes</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n point(s)</source>
        <translation>
            <numerusform>%n point</numerusform>
            <numerusform>%n points</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Clear the list of the %n point(s) of the day?</source>
        <translation>
            <numerusform>Clear the list of the %n point of the day?</numerusform>
            <numerusform>Clear the list of the %n points of the day?</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n point(s) saved to %1.</source>
        <translation>
            <numerusform>%n point saved to %1.</numerusform>
            <numerusform>%n points saved to %1.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1 of %n fix(es)</source>
        <translation>
            <numerusform>%1 of %n fix</numerusform>
            <numerusform>%1 of %n fixes</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>quorvel::ScatterWindow</name>
    <message numerus="yes">
        <source>%n fix(es) around their mean; CEP50 %1, CEP95 %2.</source>
        <translation>
            <numerusform>%n fix around its mean; CEP50 %1, CEP95 %2.</numerusform>
            <numerusform>%n fixes around their mean; CEP50 %1, CEP95 %2.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>quorvel::StatusLine</name>
    <message numerus="yes">
        <source>The %n fix(es) logged are kept.</source>
        <translation>
            <numerusform>The %n fix logged is kept.</numerusform>
            <numerusform>The %n fixes logged are kept.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Point %1: %n fix(es) in %2.</source>
        <translation>
            <numerusform>Point %1: %n fix in %2.</numerusform>
            <numerusform>Point %1: %n fixes in %2.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Point %1, logging off: %n fix(es).</source>
        <translation>
            <numerusform>Point %1, logging off: %n fix.</numerusform>
            <numerusform>Point %1, logging off: %n fixes.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>quorvel::clock::ClockSync</name>
    <message numerus="yes">
        <source>No fix came within %n minute(s): the PC clock was not set.</source>
        <translation>
            <numerusform>No fix came within %n minute: the PC clock was not set.</numerusform>
            <numerusform>No fix came within %n minutes: the PC clock was not set.</numerusform>
        </translation>
    </message>
</context>
</TS>
