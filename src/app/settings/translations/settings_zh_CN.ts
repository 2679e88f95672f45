<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>NSSettingsView</name>
    <message>
        <source>Working folder</source>
        <translation>工作文件夹</translation>
    </message>
    <message>
        <source>Choose…</source>
        <translation>选择…</translation>
    </message>
    <message>
        <source>Start downloads when a task is created</source>
        <translation>创建任务后立即开始下载</translation>
    </message>
    <message>
        <source>Update yt-dlp</source>
        <translation>更新 yt-dlp</translation>
    </message>
    <message>
        <source>Check ffmpeg</source>
        <translation>检查 ffmpeg</translation>
    </message>
    <message>
        <source>Install ffmpeg</source>
        <translation>安装 ffmpeg</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>yt-dlp version</source>
        <translation>yt-dlp 版本</translation>
    </message>
    <message>
        <source>Last update check</source>
        <translation>上次检查更新</translation>
    </message>
    <message>
        <source>ffmpeg</source>
        <translation>ffmpeg</translation>
    </message>
    <message>
        <source>yt-dlp is not installed in the working folder.</source>
        <translation>工作文件夹中没有安装 yt-dlp。</translation>
    </message>
    <message>
        <source>yt-dlp could not be installed or updated.</source>
        <translation>无法安装或更新 yt-dlp。</translation>
    </message>
    <message>
        <source>Choose a working folder and install yt-dlp into it first.</source>
        <translation>请先选择工作文件夹并在其中安装 yt-dlp。</translation>
    </message>
    <message>
        <source>ffmpeg is not installed on this system.</source>
        <translation>系统中没有安装 ffmpeg。</translation>
    </message>
    <message>
        <source>Install the package ffmpeg, which provides ffmpeg, ffplay and ffprobe, then press &quot;Install ffmpeg&quot; again:

%1</source>
        <translation>请安装提供 ffmpeg、ffplay 和 ffprobe 的软件包 ffmpeg，然后再次点击“安装 ffmpeg”：

%1</translation>
    </message>
    <message>
        <source>Copy Command</source>
        <translation>复制命令</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
</context>
<context>
    <name>NSSettingsWindowController</name>
    <message>
        <source>Settings</source>
        <translation>设置</translation>
    </message>
</context>
</TS>
