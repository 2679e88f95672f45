<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>TaskDetailView</name>
    <message>
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message>
        <source>Location</source>
        <translation>位置</translation>
    </message>
    <message>
        <source>Completed</source>
        <translation>完成时间</translation>
    </message>
    <message>
        <source>Browser</source>
        <translation>浏览器</translation>
    </message>
    <message>
        <source>Description</source>
        <translation>描述</translation>
    </message>
    <message>
        <source>The file is no longer on the disk.</source>
        <translation>文件已不在磁盘上。</translation>
    </message>
    <message>
        <source>The note could not be saved.</source>
        <translation>无法保存备注。</translation>
    </message>
</context>
</TS>
