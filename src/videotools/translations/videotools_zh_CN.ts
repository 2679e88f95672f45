<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>NSDurationSelectView</name>
    <message>
        <source>Trim head and tail</source>
        <translation>掐头去尾</translation>
    </message>
    <message>
        <source>Click to preview a frame; right-click to set the seconds to trim.</source>
        <translation>点击预览画面；右键设置要删除的秒数。</translation>
    </message>
    <message>
        <source>掐头时长</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>去尾时长</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>输入一个数字后点击确定</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>确定</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>取消</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>请输入删除视频开头的时长, 单位是秒.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>请输入删除视频结尾的时长, 单位是秒.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>NSEncodeConfirmView</name>
    <message>
        <source>Show in Files</source>
        <translation>在文件夹中显示</translation>
    </message>
    <message>
        <source>Save Thumbnail</source>
        <translation>保存缩略图</translation>
    </message>
    <message>
        <source>Trim Head and Tail</source>
        <translation>掐头去尾</translation>
    </message>
    <message>
        <source>Re-encode to H.264</source>
        <translation>重编码为 H.264</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>File:</source>
        <translation>文件：</translation>
    </message>
    <message>
        <source>File</source>
        <translation>文件</translation>
    </message>
    <message>
        <source>Preview</source>
        <translation>预览</translation>
    </message>
    <message>
        <source>警告</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>掐头去尾操作将对源视频产生不可逆的改变，只保留头尾中间的部分，您确定要这么做吗？</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>取消</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>执行 掐头去尾</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>掐头去尾 设置的掐头 + 去尾 时长，超过了视频自身时长。 点击鼠标右键，可进行设置。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>掐头去尾执行失败.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Another trim is running in this working folder; try again when it has ended.</source>
        <translation>工作目录中正在进行另一个掐头去尾，请在它结束后再试。</translation>
    </message>
    <message>
        <source>The video tools need a file and ffmpeg in the working folder.</source>
        <translation>视频工具需要一个文件，并且工作目录中需要有 ffmpeg。</translation>
    </message>
    <message>
        <source>视频重编码失败。</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>NSEncodeWindownController</name>
    <message>
        <source>Video Tools</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>NSEncodingProgressView</name>
    <message>
        <source>H264 video encoding in progress</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
